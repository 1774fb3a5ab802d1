#pragma once

#include "update/Stop.h"

#include <QString>

namespace ui {

// Interactive mode: the main window until it is closed. `stop` tells of a stop signal, and
// `stopDescriptor` becomes readable when one arrives, so an idle window wakes for it. Returns
// the exit status: 3 for a settings file that cannot be read, 1 for an error that ended the
// start-up, else the event loop's (the caller adds the signal's status).
int runWindowProgram(int& argc, char** argv, const update::StopProbe& stop, int stopDescriptor);

} // namespace ui
