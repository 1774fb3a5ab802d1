#include "app/StderrFilter.h"

#include <QString>
#include <QtGlobal>

namespace app {

namespace {

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void dropRuntimeDirectoryNotice()
{
    previousHandler = qInstallMessageHandler(&filterMessage);
}

} // namespace app
