#include "app/StopSignals.h"

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace app {

namespace {

// The one piece of state a signal handler may touch.
volatile std::sig_atomic_t requestedStop = 0;
int wakeUp[2] = {-1, -1};

void noteStop(int signal)
{
    if (requestedStop == 0)
        requestedStop = signal;
    if (wakeUp[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
    }
}

} // namespace

void installStopSignalHandlers()
{
    if (wakeUp[0] < 0 && ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        wakeUp[0] = wakeUp[1] = -1;
    struct sigaction action {};
    action.sa_handler = &noteStop;
    sigemptyset(&action.sa_mask);
    // A statement in flight carries on through the signal.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int stopSignal()
{
    return requestedStop;
}

int stopSignalDescriptor()
{
    return wakeUp[0];
}

} // namespace app
