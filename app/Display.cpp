#include "app/Display.h"

#include <QByteArray>
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

bool screenAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
    return desktopDisplay();
}

} // namespace app
