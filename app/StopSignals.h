#pragma once

namespace app {

// Takes over SIGTERM, SIGINT and SIGHUP: a handler only notes the signal (and makes
// stopSignalDescriptor() readable, to wake an idle event loop); the program acts on it.
void installStopSignalHandlers();

// The signal that asked the program to stop; 0 while none has.
int stopSignal();
// Readable once a stop signal has arrived; -1 before the handlers are installed.
int stopSignalDescriptor();

// What shells expect of a process ended by the signal: 128 plus its number.
inline int exitStatusForSignal(int signal)
{
    return 128 + signal;
}

} // namespace app
