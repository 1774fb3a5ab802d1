#pragma once

namespace app {

// The window toolkit has a platform to run on: one named in QT_QPA_PLATFORM (offscreen included),
// or an X11 or Wayland display.
bool platformAvailable();

} // namespace app
