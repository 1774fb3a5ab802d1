#pragma once

#include "update/UpdateSession.h"

#include <QString>

namespace app {

// `dph2012 --rehearse [a|b|c|d]`: the full update rehearsed on a restored copy of the database of
// DPH.ini in programDir, with the option for staying guests (a when none is given); the report
// on standard output. The database itself is never changed. Returns the exit status: 0 when
// every statement succeeded and nothing is left, 1 when a statement failed or something is left,
// 2 when the rehearsal could not be made, 64 for an option that is none of a to d, 128 plus the
// number of a stopping signal.
// `pdf` lays the night's protocol out; without it the protocol is text alone.
int runRehearseCommand(const QString& programDir, const QString& option, const update::UpdateSession::PdfLayout& pdf = {});

} // namespace app
