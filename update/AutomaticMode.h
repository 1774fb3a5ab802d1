#pragma once

namespace update {

// The process-wide automatic-mode flag: set once by the entry point, never cleared.
bool isAutomaticMode();
void setAutomaticMode();

} // namespace update
