// The window as a module of its own, which the program loads only when it shows a window or lays
// out a protocol: the unattended update then starts without the graphics libraries.

#include "ui/ProtocolPdf.h"
#include "ui/WindowProgram.h"

#include <QString>

extern "C" {

__attribute__((visibility("default"))) int dph2012_run_window(int* argc, char** argv, int (*stopSignal)(),
                                                              int stopDescriptor)
{
    return ui::runWindowProgram(*argc, argv, stopSignal, stopDescriptor);
}

__attribute__((visibility("default"))) int dph2012_protocol_pdf(int* argc, char** argv)
{
    return ui::runProtocolPdfProgram(*argc, argv);
}

} // extern "C"
