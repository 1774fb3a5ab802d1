#pragma once

#include <QStringList>

namespace app {

// `dph2012 --restore [FILE] [--yes]`: the way back for the database of DPH.ini in programDir.
// On a terminal the plan is shown and the operator asked; without one, only --yes consents.
// Returns the exit status: 0 restored, 2 failed (the database unchanged), 3 refused (nothing
// changed), 64 for an unknown argument, 128 plus the number of a stopping signal.
int runRestoreCommand(const QString& programDir, const QStringList& arguments);

} // namespace app
