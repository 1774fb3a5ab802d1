// The window as a module of its own, which the program loads only when it shows a window: the
// unattended update then starts without the widget toolkit's libraries.

#include "ui/WindowProgram.h"

#include <QString>

extern "C" {

__attribute__((visibility("default"))) int dph2012_run_window(int* argc, char** argv, int (*stopSignal)(),
                                                              int stopDescriptor)
{
    return ui::runWindowProgram(*argc, argv, stopSignal, stopDescriptor);
}

} // extern "C"
