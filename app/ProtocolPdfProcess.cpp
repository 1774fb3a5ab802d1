#include "app/ProtocolPdfProcess.h"

#include "update/VisibleText.h"

#include <QCoreApplication>
#include <QProcess>

namespace app {

update::UpdateSession::PdfMaker protocolPdfProcess()
{
    return [](const QByteArray& json, QString& why) {
        QProcess layout;
        layout.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--protocol-pdf")});
        if (!layout.waitForStarted(30000)) {
            why = layout.errorString();
            return QByteArray();
        }
        layout.write(json);
        layout.closeWriteChannel();
        // About a millisecond per stay group; a real hotel has hundreds.
        if (!layout.waitForFinished(600000)) {
            layout.kill();
            layout.waitForFinished(10000);
            why = QStringLiteral("the layout did not end within ten minutes");
            return QByteArray();
        }
        if (layout.exitStatus() != QProcess::NormalExit || layout.exitCode() != 0) {
            why = update::visibleText(QString::fromLocal8Bit(layout.readAllStandardError()).trimmed());
            if (why.isEmpty())
                why = QStringLiteral("the layout ended with %1").arg(layout.exitCode());
            return QByteArray();
        }
        return layout.readAllStandardOutput();
    };
}

} // namespace app
