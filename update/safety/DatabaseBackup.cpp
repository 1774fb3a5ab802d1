#include "update/safety/DatabaseBackup.h"

#include "db/EngineError.h"
#include "db/ServiceBackup.h"
#include "update/RunLog.h"
#include "update/Stop.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace update {

namespace {

const QString kBackupPrefix = QStringLiteral("ZALOHA         | ");
const QString kBackupDonePrefix = QStringLiteral("ZALOHA OK      | ");
const QString kBackupFailedPrefix = QStringLiteral("ZALOHA CHYBA   | ");
// How long the window's thread waits for the worker once a stop signal came: the service is
// asked to stop within a second and gets three more to end.
constexpr std::chrono::seconds kStopGrace(6);
// Names of the server that could not be checked before the backup gives up.
constexpr int kUncheckedNamesAllowed = 3;

// What the worker thread hands to the window's thread: progress lines and the end.
class BackupChannel {
public:
    void push(const QString& line)
    {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
        ready_.notify_one();
    }
    void finish(std::optional<std::uint64_t> written, std::exception_ptr failure)
    {
        const std::lock_guard lock(mutex_);
        written_ = written;
        failure_ = std::move(failure);
        finished_ = true;
        ready_.notify_one();
    }
    // Waits a little for news; the lines that came, and whether the backup has ended.
    bool take(std::deque<QString>& lines)
    {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, std::chrono::milliseconds(50), [this] { return finished_ || !lines_.empty(); });
        lines.swap(lines_);
        lines_.clear();
        return finished_;
    }
    std::optional<std::uint64_t> written()
    {
        const std::lock_guard lock(mutex_);
        return written_;
    }
    std::exception_ptr failure()
    {
        const std::lock_guard lock(mutex_);
        return failure_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<QString> lines_;
    std::optional<std::uint64_t> written_;
    std::exception_ptr failure_;
    bool finished_ = false;
};

// Everything the worker thread uses. It owns its share: a worker left behind on a hung service
// outlives the function that started it.
struct BackupWork {
    BackupWork(db::ServiceBackup backup, std::string file) : backup(std::move(backup)), file(std::move(file)) {}
    const db::ServiceBackup backup;
    const std::string file;
    BackupChannel channel;
    std::atomic<bool> stop{false};
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

// "12.3 MB", as the file grows.
QString megabytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

// How the backup ended.
struct Outcome {
    std::optional<std::uint64_t> written; // the size the service reported
    std::exception_ptr failure;
    bool stopped = false;      // a stop signal came first
    bool fileMayRemain = true; // when stopped: the service may have left an unfinished file
};

// Runs the backup on a worker thread while the window's thread keeps processing its messages.
// A file in this process's engine shows progress by its size, about once a second; a server's
// by the service's lines. A stop signal asks the worker to abandon the service; a worker that
// does not end soon after (a hung server) is left behind rather than waited for.
Outcome runKeepingWindowAlive(db::ServiceBackup backup, const QString& file, bool embedded, UpdateView& view,
                              const UpdateSession& session)
{
    const auto work = std::make_shared<BackupWork>(std::move(backup), file.toStdString());
    std::thread worker([work, embedded] {
        try {
            const db::ServiceBackup::ProgressLine lines = [&work](const std::string& line) {
                work->channel.push(QString::fromStdString(line));
            };
            const std::optional<std::uint64_t> written = work->backup.run(
                work->file, embedded ? db::ServiceBackup::ProgressLine() : lines, [&work] { return work->stop.load(); });
            work->channel.finish(written, nullptr);
        } catch (...) {
            work->channel.finish(std::nullopt, std::current_exception());
        }
    });
    Outcome outcome;
    std::deque<QString> lines;
    bool finished = false;
    std::optional<std::chrono::steady_clock::time_point> giveUpAt;
    qint64 shownSize = 0;
    QElapsedTimer sinceShown;
    sinceShown.start();
    while (!finished) {
        finished = work->channel.take(lines);
        if (session.stopSignal() != 0 && !giveUpAt) {
            work->stop = true;
            giveUpAt = std::chrono::steady_clock::now() + kStopGrace;
        }
        if (!finished && giveUpAt && std::chrono::steady_clock::now() >= *giveUpAt)
            break;
        if (embedded && sinceShown.elapsed() >= 1000) {
            sinceShown.restart();
            const qint64 written = QFileInfo(file).size();
            if (written > shownSize)
                view.showBackupProgress(megabytes(shownSize = written));
        }
        for (const QString& line : lines)
            if (showsProgress(line))
                view.showBackupProgress(withoutToolName(line));
        lines.clear();
        view.processPendingMessages();
    }
    outcome.stopped = giveUpAt.has_value();
    if (!finished) {
        worker.detach();
        return outcome;
    }
    worker.join();
    outcome.written = work->channel.written();
    outcome.failure = work->channel.failure();
    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const db::BackupAbandoned& abandoned) {
            outcome.fileMayRemain = abandoned.fileMayRemain();
        } catch (...) {
            outcome.fileMayRemain = true;
        }
    }
    return outcome;
}

// Why the backup failed, for the log and the operator.
QString failureText(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const db::EngineError& error) {
        return engineErrorValues(error);
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

// Whether a file of that name exists where the engine writes the backup: this process's own
// engine sees this machine's files; a server is asked. A name the server cannot tell about
// counts as taken, and after a few of those the backup gives up.
std::function<bool(const QString&)> existsForEngine(const ConnectionSettings& settings, const db::ServiceTarget& target)
{
    if (target.host.empty())
        return [](const QString& path) { return QFileInfo::exists(path); };
    auto unchecked = std::make_shared<int>(0);
    return [settings, prefix = target.serverPrefix, unchecked](const QString& path) {
        const std::optional<bool> exists =
            db::fileExistsOnServer(prefix, path.toStdString(), settings.user.toStdString(),
                                   settings.password.toStdString(), settings.connectTimeout);
        if (exists)
            return *exists;
        if (++*unchecked >= kUncheckedNamesAllowed)
            throw std::runtime_error("the server cannot tell whether " + path.toStdString() + " exists");
        return true;
    };
}

// After a stop signal: an unfinished file must not pass for a backup. One this process's engine
// wrote is removed; one on a server that may still be there is reported as invalid.
void dealWithUnfinishedFile(const RunLog& log, UpdateView& view, const Outcome& outcome, const QString& file,
                            bool embedded)
{
    if (embedded) {
        QFile::remove(file);
        return;
    }
    if (!outcome.fileMayRemain)
        return;
    log.WriteLog(kBackupFailedPrefix + QStringLiteral("nedokoncena zaloha %1, soubor na serveru je neplatny").arg(file));
    view.showIncompleteBackup(file);
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
    const bool embedded = target.host.empty();
    const RunLog& log = session.log();
    QString file;
    try {
        file = freeBackupName(session.backupFile(), QDateTime::currentDateTime(), existsForEngine(settings, target));
    } catch (...) {
        const QString failure = failureText(std::current_exception());
        log.WriteLog(kBackupPrefix + session.backupFile());
        log.WriteLog(kBackupFailedPrefix + failure);
        return failure;
    }
    log.WriteLog(kBackupPrefix + file);
    view.showBackupProgress(file);
    QElapsedTimer clock;
    clock.start();
    const Outcome outcome = runKeepingWindowAlive(
        db::ServiceBackup(settings.alias.toStdString(), settings.user.toStdString(), settings.password.toStdString(),
                          settings.connectTimeout),
        file, embedded, view, session);
    view.showBackupProgress(QString());
    if (outcome.stopped && (outcome.failure || !outcome.written)) {
        dealWithUnfinishedFile(log, view, outcome, file, embedded);
        throw Interrupted{session.stopSignal()};
    }
    QString failure = outcome.failure ? failureText(outcome.failure) : QString();
    // Only the service's own word on what it wrote: a server's file is not this machine's to look at.
    const qint64 bytes = outcome.written ? static_cast<qint64>(*outcome.written)
        : embedded                       ? QFileInfo(file).size()
                                         : 0;
    if (failure.isEmpty() && bytes <= 0)
        failure = QStringLiteral("sluzba nehlasila zapsana data do %1").arg(file);
    if (!failure.isEmpty()) {
        log.WriteLog(kBackupFailedPrefix + failure);
        return failure;
    }
    log.WriteLog(kBackupDonePrefix + QString::number(bytes) + QStringLiteral(" B, ")
                 + QString::number(clock.elapsed() / 1000.0, 'f', 1) + QStringLiteral(" s"));
    // A signal during the backup's last moments: the backup stands, the update does not start.
    session.throwIfStopRequested();
    return {};
}

} // namespace update
