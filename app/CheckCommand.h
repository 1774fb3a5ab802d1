#pragma once

#include <QString>

namespace app {

// `dph2012 --check`: the read-only report of what is still at the old rate, on standard output,
// for the database of DPH.ini in programDir. Returns the exit status (0, 1 or 2).
int runCheckCommand(const QString& programDir);

} // namespace app
