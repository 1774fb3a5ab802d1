#include "update/DatabaseBackup.h"

#include "db/EngineError.h"
#include "db/ServiceBackup.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace update {

namespace {

const QString kBackupPrefix = QStringLiteral("ZALOHA         | ");
const QString kBackupDonePrefix = QStringLiteral("ZALOHA OK      | ");
const QString kBackupFailedPrefix = QStringLiteral("ZALOHA CHYBA   | ");

// A file on another machine cannot be looked at from here.
bool visibleHere(const db::ServiceTarget& target)
{
    const QString host = QString::fromStdString(target.host).section(QLatin1Char('/'), 0, 0);
    return host.isEmpty() || host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1")
        || host == QLatin1String("::1");
}

// What the worker thread hands to the window's thread: progress lines and the end.
class BackupChannel {
public:
    void push(const QString& line)
    {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
        ready_.notify_one();
    }
    void finish(std::exception_ptr failure)
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
        finished_ = true;
        ready_.notify_one();
    }
    // Waits a little for news; the lines that came, and whether the backup has ended.
    bool take(std::deque<QString>& lines, std::exception_ptr& failure)
    {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, std::chrono::milliseconds(50), [this] { return finished_ || !lines_.empty(); });
        lines.swap(lines_);
        lines_.clear();
        failure = failure_;
        return finished_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<QString> lines_;
    std::exception_ptr failure_;
    bool finished_ = false;
};

// Of the service's many lines (every domain, procedure and index), those that show how far it is.
bool showsProgress(const QString& line)
{
    return line.contains(QLatin1String("writing data for table")) || line.contains(QLatin1String("records written"))
        || line.contains(QLatin1String("bytes written"));
}

// "gbak: writing data for table X" -> "writing data for table X".
QString withoutToolName(const QString& line)
{
    QString text = line.simplified();
    if (text.startsWith(QLatin1String("gbak:")))
        text = text.mid(5).trimmed();
    return text;
}

// The size the service reports at its end ("... 98304 bytes written"); -1 when it did not.
qint64 reportedSize(const QString& line)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d+) bytes written")).match(line);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// "12.3 MB", as the file grows.
QString megabytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

// Runs the backup on a worker thread while the window's thread keeps processing its messages.
// A file visible from here shows progress by its size, about once a second, and the service is
// spared its verbose output, which costs gbak about a tenth more time; otherwise the service's
// lines show it.
// Returns the size the service reported, -1 when it reported none.
qint64 runKeepingWindowAlive(const db::ServiceBackup& backup, const QString& file, bool fileVisible, UpdateView& view)
{
    BackupChannel channel;
    const db::ServiceBackup::ProgressLine serviceLines = [&](const std::string& line) {
        channel.push(QString::fromStdString(line));
    };
    // Joined however this function is left: the service runs to its end either way.
    std::jthread worker([&] {
        try {
            backup.run(file.toStdString(), fileVisible ? db::ServiceBackup::ProgressLine() : serviceLines);
            channel.finish(nullptr);
        } catch (...) {
            channel.finish(std::current_exception());
        }
    });
    std::deque<QString> lines;
    std::exception_ptr failure;
    bool finished = false;
    qint64 size = -1;
    qint64 shownSize = 0;
    QElapsedTimer sinceShown;
    sinceShown.start();
    while (!finished) {
        finished = channel.take(lines, failure);
        if (fileVisible && sinceShown.elapsed() >= 1000) {
            sinceShown.restart();
            const qint64 written = QFileInfo(file).size();
            if (written > shownSize)
                view.showBackupProgress(megabytes(shownSize = written));
        }
        for (const QString& line : lines) {
            size = std::max(size, reportedSize(line));
            if (showsProgress(line))
                view.showBackupProgress(withoutToolName(line));
        }
        lines.clear();
        view.processPendingMessages();
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return size;
}

} // namespace

QString freeBackupName(const QString& wanted, const QDateTime& now, const std::function<bool(const QString&)>& exists)
{
    if (!exists(wanted))
        return wanted;
    // The extension is what follows the last dot of the file name, not of a directory.
    const int slash = std::max(wanted.lastIndexOf(QLatin1Char('/')), wanted.lastIndexOf(QLatin1Char('\\')));
    const int dot = wanted.lastIndexOf(QLatin1Char('.'));
    const int split = dot > slash + 1 ? dot : wanted.size();
    const QString stem = wanted.left(split);
    const QString extension = wanted.mid(split);
    const QString minute = stem + now.toString(QStringLiteral("-yyyyMMdd-HHmm"));
    if (!exists(minute + extension))
        return minute + extension;
    const QString second = minute + now.toString(QStringLiteral("ss"));
    QString candidate = second + extension;
    for (int counter = 2; exists(candidate); ++counter)
        candidate = second + QStringLiteral("-%1").arg(counter) + extension;
    return candidate;
}

QString BackupBeforeUpdate(UpdateSession& session, UpdateView& view)
{
    const ConnectionSettings settings = session.settings();
    const db::ServiceTarget target = db::serviceTargetOf(settings.alias.toStdString());
    const bool local = visibleHere(target);
    // On another machine nothing can be checked, so the name carries the time to the second.
    const QString file = freeBackupName(session.backupFile(), QDateTime::currentDateTime(), [local](const QString& path) {
        return local ? QFileInfo::exists(path) : !path.contains(QRegularExpression(QStringLiteral("-\\d{8}-\\d{6}")));
    });
    const RunLog& log = session.log();
    log.WriteLog(kBackupPrefix + file);
    view.showBackupProgress(file);
    QElapsedTimer clock;
    clock.start();
    QString failure;
    qint64 reported = -1;
    try {
        const db::ServiceBackup backup(settings.alias.toStdString(), settings.user.toStdString(),
                                       settings.password.toStdString());
        reported = runKeepingWindowAlive(backup, file, local, view);
    } catch (const db::EngineError& error) {
        failure = engineErrorValues(error);
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    view.showBackupProgress(QString());
    if (!failure.isEmpty()) {
        log.WriteLog(kBackupFailedPrefix + failure);
        return failure;
    }
    const qint64 bytes = local ? QFileInfo(file).size() : reported;
    const QString size = bytes >= 0 ? QString::number(bytes) : QStringLiteral("?");
    log.WriteLog(kBackupDonePrefix + size + QStringLiteral(" B, ")
                 + QString::number(clock.elapsed() / 1000.0, 'f', 1) + QStringLiteral(" s"));
    return {};
}

} // namespace update
