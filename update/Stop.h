#pragma once

#include <QString>

#include <functional>

namespace update {

// A stop signal (SIGTERM, SIGINT, SIGHUP) asked the program to stop. Thrown between statements,
// never inside one.
struct Interrupted {
    int signal;
};

// The signal that has asked the program to stop; 0 while none has. The program's entry point
// supplies it; a command only asks.
using StopProbe = std::function<int()>;

// "SIGTERM", "SIGINT", "SIGHUP", as the run log names them.
QString signalName(int signal);

} // namespace update
