#pragma once

namespace app {

// The process-wide automatic-mode flag: set once by the entry point, before any update work,
// never cleared.
bool isAutomaticMode();
void setAutomaticMode();

} // namespace app
