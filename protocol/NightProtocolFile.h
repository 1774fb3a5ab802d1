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

// Runs the command with a record of its own and writes its protocol: just before the command's
// completion message (UpdateSession::showCompletion), else after the command, also when it was
// ended by an exception (a stop signal), which then goes on. A stop while the protocol is written
// after the command ends the run (StopRun).
bool runWithProtocol(UpdateSession& session, UpdateView& view, const std::function<bool()>& command);

// Writes the night's protocol of what `record` did beside the session's run log, owner-only: its
// plain text, and a PDF when the session has a way to lay it out (UpdateSession::pdfMaker).
// `check`: what the readiness check found after the command; looked at here through the session
// when not given. `rehearsalCopy`: the copy a rehearsal ran on, which every page then names;
// `copy`: the rehearsal's session on it, where the stay groups' figures are read (else through
// the session). A protocol that cannot be written is logged and said through the view once; the
// run goes on. Nothing is written unless the session writes protocols (the program's own runs)
// and a command began. A stop signal leaves the PDF unwritten; ending the run is the caller's.
void writeNightProtocol(UpdateSession& session, UpdateView& view, NightProtocol& record,
                        std::optional<ReadinessReport> check = std::nullopt, const QString& rehearsalCopy = QString(),
                        UpdateSession* copy = nullptr);

} // namespace update
