#pragma once

#include "update/safety/ReadinessCheck.h"

#include <QString>

#include <functional>
#include <optional>

namespace update {

class NightProtocol;
class UpdateSession;
class UpdateView;

// The file name's start: "QVTDPH2012-protokol-<yyyymmdd-hhmmss>.pdf", its text beside as ".txt".
inline const QString kProtocolFilePrefix = QStringLiteral("QVTDPH2012-protokol-");

// Writes the night's protocol of what `record` did beside the session's run log, owner-only: a
// PDF (when the process has the fonts of a QGuiApplication) and its plain text. `check`: what
// the readiness check found after the command; looked at here through the session when not
// given. `rehearsalCopy`: the copy a rehearsal ran on, which every page then names. A protocol
// that cannot be written is logged and said through the view once; the run goes on. Nothing is
// written unless the session writes protocols (the program's own runs) and a command began.
// Runs the command with a record of its own, and writes its protocol after it, also when it was
// ended by an exception (a stop signal), which then goes on.
bool runWithProtocol(UpdateSession& session, UpdateView& view, const std::function<bool()>& command);

void writeNightProtocol(UpdateSession& session, UpdateView& view, const NightProtocol& record,
                        std::optional<ReadinessReport> check = std::nullopt, const QString& rehearsalCopy = QString());

} // namespace update
