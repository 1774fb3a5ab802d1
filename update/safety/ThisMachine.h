#pragma once

namespace db {
struct ServiceTarget;
}

namespace update {

// Whether the server of the target runs on this machine (it is reached by a loopback name or
// address), so that the files it names are this machine's too.
bool isThisMachine(const db::ServiceTarget& target);

} // namespace update
