#pragma once

namespace app {

// Standard error carries only what the operator should read: the toolkit's notice that it made
// up a runtime directory (XDG_RUNTIME_DIR unset, usual for schedulers) is dropped; every other
// message goes where it went before.
void dropRuntimeDirectoryNotice();

} // namespace app
