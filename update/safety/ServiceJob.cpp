#include "update/safety/ServiceJob.h"

#include "db/EngineError.h"
#include "db/ServiceBackup.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace update {

namespace {

// How long the window's thread waits for the worker once a stop signal came: the service is
// asked to stop within a second and gets three more to end.
constexpr std::chrono::seconds kStopGrace(6);

// How often a watched file's size is taken for a phase's percent, in milliseconds: one look at
// the file's size costs the phase nothing it would notice.
constexpr qint64 kSizeEvery = 100;

// Progress lines that wait for the window's thread at most.
constexpr std::size_t kWaitingLines = 1000;

// What the worker thread hands to the window's thread: progress lines and the end.
class JobChannel {
public:
    void push(const QString& line)
    {
        const std::lock_guard lock(mutex_);
        // Only the latest lines show how far it is: a window's thread that falls behind a chatty
        // service holds no more than these.
        if (lines_.size() >= kWaitingLines)
            lines_.pop_front();
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
    // Waits a little for news; the lines that came, and whether the job has ended.
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
struct Work {
    explicit Work(ServiceJob job) : job(std::move(job)) {}
    const ServiceJob job;
    JobChannel channel;
    std::atomic<bool> stop{false};
};

// Of the service's many lines (every domain, procedure and index), those that show how far it is.
bool showsProgress(const QString& line)
{
    return line.contains(QLatin1String("writing data for table")) || line.contains(QLatin1String("records written"))
        || line.contains(QLatin1String("bytes written")) || line.contains(QLatin1String("restoring data for table"))
        || line.contains(QLatin1String("records restored"));
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

} // namespace

ServiceOutcome runKeepingWindowAlive(ServiceJob job, const QString& localFile, const std::function<void(const QString&)>& show,
                                     UpdateView& view, const UpdateSession& session,
                                     const std::function<void(qint64)>& sized)
{
    const auto work = std::make_shared<Work>(std::move(job));
    const bool watchFile = !localFile.isEmpty();
    std::thread worker([work, watchFile] {
        try {
            const std::function<void(const std::string&)> lines = [&work](const std::string& line) {
                work->channel.push(QString::fromStdString(line));
            };
            const std::optional<std::uint64_t> written =
                work->job(watchFile ? std::function<void(const std::string&)>() : lines, [&work] { return work->stop.load(); });
            work->channel.finish(written, nullptr);
        } catch (...) {
            work->channel.finish(std::nullopt, std::current_exception());
        }
    });
    ServiceOutcome outcome;
    std::deque<QString> lines;
    bool finished = false;
    std::optional<std::chrono::steady_clock::time_point> giveUpAt;
    qint64 shownSize = 0;
    QElapsedTimer sinceShown;
    sinceShown.start();
    while (!finished) {
        finished = work->channel.take(lines);
        if (session.stopSignal() != 0 && !session.stopsHeld() && !giveUpAt) {
            work->stop = true;
            giveUpAt = std::chrono::steady_clock::now() + kStopGrace;
        }
        if (!finished && giveUpAt && std::chrono::steady_clock::now() >= *giveUpAt)
            break;
        // A percent moves the window's bar smoothly; a line of megabytes once a second is enough.
        if (watchFile && sinceShown.elapsed() >= (sized ? kSizeEvery : 1000)) {
            sinceShown.restart();
            const qint64 written = QFileInfo(localFile).size();
            if (sized)
                sized(written);
            else if (written > shownSize)
                show(megabytes(shownSize = written));
        }
        for (const QString& line : lines)
            if (showsProgress(line))
                show(withoutToolName(line));
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
        } catch (const db::ServiceAbandoned& abandoned) {
            outcome.fileMayRemain = abandoned.leftoverMayRemain();
        } catch (...) {
            outcome.fileMayRemain = true;
        }
    }
    return outcome;
}

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

} // namespace update
