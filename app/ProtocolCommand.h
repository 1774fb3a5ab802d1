#pragma once

#include <QString>

namespace app {

// `dph2012 --protocol [FILE]`: prints the text of the newest night's protocol in programDir, or of
// FILE (the protocol's PDF or its text). Only a protocol this program wrote is printed. Returns
// the exit status: 0 printed, 2 no such protocol.
int runProtocolCommand(const QString& programDir, const QString& file);

} // namespace app
