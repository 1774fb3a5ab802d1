#pragma once

#include "update/UpdateSession.h"

namespace app {

// Lays a protocol out in the program's own `--protocol-pdf` process, which loads the graphics
// libraries that this one goes without.
update::UpdateSession::PdfMaker protocolPdfProcess();

} // namespace app
