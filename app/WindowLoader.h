#pragma once

#include <QString>

namespace app {

// The window lives in a module that the program carries inside itself and loads only when a
// window is shown, so that the unattended update never loads the widget toolkit.

// Interactive mode until the window is closed: the exit status (128 plus a stopping signal's
// number when one stopped it).
int runWindow(int& argc, char** argv);

// `dph2012 --protocol-pdf`, the program's own process that lays a night's protocol out as PDF
// (the document's JSON on standard input, the PDF on standard output): it needs the fonts of the
// graphics libraries, which the unattended update leaves unloaded.
int runProtocolPdf(int& argc, char** argv);

} // namespace app
