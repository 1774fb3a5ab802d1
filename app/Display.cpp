#include "app/Display.h"

#include <QtGlobal>

namespace app {

namespace {

bool desktopDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

bool platformAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || desktopDisplay();
}

} // namespace app
