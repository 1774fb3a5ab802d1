#include "app/LayoutProcess.h"

#include "update/VisibleText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace app {

namespace {

// How often the wait for the layout looks for a stop signal.
constexpr int kStopLookMilliseconds = 50;
// A process given no document ends by itself once its input closes; this long at most.
constexpr int kOwnEndMilliseconds = 3000;
// About a millisecond per stay group; a real hotel has hundreds.
constexpr int kLayoutLimitMilliseconds = 600000;

} // namespace

LayoutProcess::LayoutProcess(update::StopProbe stop) : stop_(std::move(stop))
{
    process_.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--protocol-pdf")});
}

LayoutProcess::~LayoutProcess()
{
    end();
}

bool LayoutProcess::stopped() const
{
    return stop_ && stop_() != 0;
}

void LayoutProcess::end()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    // Without a stop, an empty input lets it end by itself; with one, the operator waits for nothing.
    if (!stopped()) {
        process_.closeWriteChannel();
        if (process_.waitForFinished(kOwnEndMilliseconds))
            return;
    }
    process_.kill(); // by its process id
    process_.waitForFinished(10000);
}

void LayoutProcess::draft(const QByteArray& json)
{
    if (stopped() || (process_.state() != QProcess::Running && !process_.waitForStarted(30000)))
        return;
    drafted_ = true;
    // A NUL byte ends it; written whole now, as this process has no event loop while it checks.
    process_.write(json + QByteArray(1, '\0'));
    const QDeadlineTimer limit(kLayoutLimitMilliseconds);
    while (process_.bytesToWrite() > 0 && !stopped() && process_.state() == QProcess::Running) {
        // A process that reads nothing for that long lays nothing out: its document is not sent.
        if (limit.hasExpired()) {
            process_.kill(); // by its process id
            process_.waitForFinished(10000);
            return;
        }
        process_.waitForBytesWritten(kStopLookMilliseconds);
    }
}

QByteArray LayoutProcess::lay(const QByteArray& json, QString& why)
{
    if (stopped()) {
        why = QStringLiteral("stopped before the layout");
        end();
        return QByteArray();
    }
    if (process_.state() != QProcess::Running && !process_.waitForStarted(30000)) {
        why = process_.errorString();
        end();
        return QByteArray();
    }
    process_.write(json);
    process_.closeWriteChannel();
    const QDeadlineTimer limit(kLayoutLimitMilliseconds);
    while (process_.state() != QProcess::NotRunning && !process_.waitForFinished(kStopLookMilliseconds)) {
        if (stopped() || limit.hasExpired()) {
            why = stopped() ? QStringLiteral("stopped during the layout")
                            : QStringLiteral("the layout did not end within ten minutes");
            process_.kill(); // by its process id
            process_.waitForFinished(10000);
            return QByteArray();
        }
    }
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
        why = update::visibleText(QString::fromLocal8Bit(process_.readAllStandardError()).trimmed());
        if (why.isEmpty())
            why = QStringLiteral("the layout ended with %1").arg(process_.exitCode());
        return QByteArray();
    }
    return process_.readAllStandardOutput();
}

} // namespace app
