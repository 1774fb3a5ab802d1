#pragma once

#include "protocol/ProtocolDocument.h"
#include "update/safety/ReadinessCheck.h"

#include <QString>

namespace update {

class NightProtocol;
class UpdateSession;

// The night's protocol of what `record` did, as the accountant reads it: the run and its backup,
// each step's changes with what the rates moved were worth, the stay groups and what step 7
// posted on their accounts by rate with totals, the check after the run with the money it names,
// the refused statements and the signatures. `check`: the check after the command, if it ran;
// `rehearsalCopy`: the copy a rehearsal ran on (the document is then a rehearsal's); `unread`:
// why the stay groups' figures could not be read, if they could not.
ProtocolDocument nightProtocolDocument(UpdateSession& session, const NightProtocol& record,
                                       const ReadinessReport* check, const QString& rehearsalCopy,
                                       const QString& unread);

} // namespace update
