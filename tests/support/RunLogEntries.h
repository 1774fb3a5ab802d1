#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// The entries of a run log file without their timestamps, whatever the regional format; an
// entry that spans several lines (a server-side script) stays one entry. Empty when there is
// no file.
QStringList runLogEntries(const QString& filePath);

} // namespace testsupport
