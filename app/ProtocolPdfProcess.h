#pragma once

#include "update/Stop.h"
#include "update/UpdateSession.h"

namespace app {

// Lays a protocol out in the program's own `--protocol-pdf` process, which loads the graphics
// libraries that this one goes without. The process starts at once, so the maker is made when the
// command begins. Once `stop` names a signal, that process is ended by its id and no PDF is made.
// Its draft goes to the process that then lays the document out.
update::UpdateSession::PdfLayout protocolPdfProcess(update::StopProbe stop);

} // namespace app
