#pragma once

#include "update/UpdateView.h"

#include <QString>

#include <functional>

namespace update {

class UpdateSession;
class UpdateView;

inline const QString kBusyEntry = QStringLiteral("Jina aktualizace teto databaze prave bezi, nic nebylo zmeneno");
inline const Refusal kBusyRefusal{QString::fromUtf8("Jiná aktualizace této databáze právě běží, nic nebylo změněno."),
                                  QStringLiteral("another update of this database is running, nothing was changed")};
inline const QString kStoppedPrefix = QStringLiteral("PRERUSENO      | ");

// Runs one command while holding the database-wide claim, so two instances never update one
// database at once. When another instance holds it, nothing is sent: one log entry, the
// operator is told, and the session counts a refusal. A claim that cannot see every other
// attachment (a user who sees only its own) gets one log entry and the command runs. When a stop signal arrives, the command
// ends after the statement in flight, and the run is stopped (StopRun). The command's result,
// false when refused or stopped.
bool RunClaimed(UpdateSession& session, UpdateView& view, const std::function<bool()>& command);

// Ends the run for a stop signal: the log says which signal, and the connection is closed.
void StopRun(UpdateSession& session, int signal);

} // namespace update
