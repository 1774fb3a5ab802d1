#pragma once

#include <QString>

namespace db {
struct ServiceTarget;
}

namespace update {

// Whether the server of the target runs on this machine (it is reached by a loopback name or
// address), so that the files it names are this machine's too.
bool isThisMachine(const db::ServiceTarget& target);

// The SHA-256 of a file this machine can read, in hexadecimal; empty when it cannot be read.
QString sha256OfFile(const QString& path);

} // namespace update
