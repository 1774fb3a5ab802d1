#include "app/ProtocolPdfProcess.h"

#include "update/VisibleText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

namespace app {

namespace {

// How often the wait for the layout looks for a stop signal.
constexpr int kStopLookMilliseconds = 50;

} // namespace

update::UpdateSession::PdfMaker protocolPdfProcess(update::StopProbe stop)
{
    return [stop = std::move(stop)](const QByteArray& json, QString& why) {
        const auto stopped = [&stop] { return stop && stop() != 0; };
        if (stopped()) {
            why = QStringLiteral("stopped before the layout");
            return QByteArray();
        }
        QProcess layout;
        layout.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--protocol-pdf")});
        if (!layout.waitForStarted(30000)) {
            why = layout.errorString();
            return QByteArray();
        }
        layout.write(json);
        layout.closeWriteChannel();
        // About a millisecond per stay group; a real hotel has hundreds.
        const QDeadlineTimer limit(600000);
        while (layout.state() != QProcess::NotRunning && !layout.waitForFinished(kStopLookMilliseconds)) {
            if (stopped() || limit.hasExpired()) {
                why = stopped() ? QStringLiteral("stopped during the layout")
                                : QStringLiteral("the layout did not end within ten minutes");
                layout.kill(); // by its process id
                layout.waitForFinished(10000);
                return QByteArray();
            }
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
