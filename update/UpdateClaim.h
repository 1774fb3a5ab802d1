#pragma once

#include <QString>

#include <functional>

namespace update {

class UpdateSession;
class UpdateView;

inline const QString kBusyMessage = QStringLiteral("another update of this database is running");
inline const QString kStoppedPrefix = QStringLiteral("PRERUSENO      | ");

// Runs one command while holding the database-wide claim, so two instances never update one
// database at once. When another instance holds it, nothing is sent: one log entry, the
// operator is told, and the session counts a refusal. When a stop signal arrives, the command
// ends after the statement in flight, and the run is stopped (StopRun). The command's result,
// false when refused or stopped.
bool RunClaimed(UpdateSession& session, UpdateView& view, const std::function<bool()>& command);

// Ends the run for a stop signal: the log says which signal, and the connection is closed.
void StopRun(UpdateSession& session, int signal);

} // namespace update
