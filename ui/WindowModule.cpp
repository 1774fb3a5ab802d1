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

__attribute__((visibility("default"))) void dph2012_show_notice(int* argc, char** argv, const char* utf8Notice)
{
    ui::showNoticeBox(*argc, argv, QString::fromUtf8(utf8Notice));
}

} // extern "C"
