#include "db/StreamedCopy.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace db {

namespace {

// Bytes of the backup held for a restore that is slower than the backup: past them the backup
// waits for the restore.
constexpr std::size_t kHeldBytes = 16 * 1024 * 1024;
// How often a wait for the other side looks whether a stop was asked.
constexpr std::chrono::milliseconds kStopLook(50);

// The restore has gone: the backup has nobody left to take its pieces.
class RestoreGone : public std::runtime_error {
public:
    RestoreGone() : std::runtime_error("the restore ended before the backup") {}
};

// The backup's pieces on their way from the backup's thread to the restore.
class Pipe {
public:
    // Waits while the restore is far behind. Throws RestoreGone once the restore has gone.
    void push(std::string piece)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return gone_ || held_ < kHeldBytes; });
        if (gone_)
            throw RestoreGone();
        held_ += piece.size();
        pieces_.push_back(std::move(piece));
        changed_.notify_all();
    }

    // The backup has ended, whole or not: the restore gets the end of its input.
    void close()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    // The restore has ended: the backup may not wait for it.
    void leave()
    {
        const std::lock_guard lock(mutex_);
        gone_ = true;
        changed_.notify_all();
    }

    // At most `wanted` bytes, waiting for them; empty once the backup has ended and everything
    // was taken, or once `stop` answers true.
    std::string take(std::size_t wanted, const ServiceBackup::StopRequested& stop)
    {
        std::unique_lock lock(mutex_);
        while (pieces_.empty() && !closed_) {
            if (stop && stop())
                return {};
            changed_.wait_for(lock, kStopLook);
        }
        if (pieces_.empty() || (stop && stop()))
            return {};
        std::string& front = pieces_.front();
        std::string piece = front.substr(offset_, wanted);
        offset_ += piece.size();
        if (offset_ == front.size()) {
            pieces_.pop_front();
            offset_ = 0;
        }
        held_ -= piece.size();
        changed_.notify_all();
        return piece;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> pieces_;
    std::size_t offset_ = 0; // of the front piece, already taken
    std::size_t held_ = 0;
    bool closed_ = false;
    bool gone_ = false;
};

// How the backup's side ended.
struct BackupEnd {
    StreamedCopyResult result;
    std::exception_ptr failure;
    bool keepingFailed = false;
};

} // namespace

StreamFailed::StreamFailed(StreamSide side, std::exception_ptr cause)
    : Error(side == StreamSide::Backup    ? "the backup failed"
            : side == StreamSide::Keeping ? "the backup could not be kept"
                                          : "the restore failed"),
      side_(side), cause_(std::move(cause))
{
}

StreamedCopy::StreamedCopy(ServiceBackup backup, ServiceRestore restore)
    : backup_(std::move(backup)), restore_(std::move(restore))
{
}

StreamedCopyResult StreamedCopy::run(const std::string& copyFile, const ServiceBackup::Piece& keep,
                                     const ServiceBackup::StopRequested& stop, std::uint64_t* ownTransactions) const
{
    Pipe pipe;
    BackupEnd backupEnd;
    const auto started = std::chrono::steady_clock::now();
    std::thread backupSide([&] {
        try {
            backupEnd.result.backupBytes = backup_.stream(
                [&](const std::string& piece) {
                    try {
                        keep(piece);
                    } catch (...) {
                        backupEnd.keepingFailed = true;
                        throw;
                    }
                    pipe.push(piece);
                },
                stop, ownTransactions);
            backupEnd.result.backupMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now() - started)
                                                      .count();
        } catch (...) {
            backupEnd.failure = std::current_exception();
        }
        pipe.close();
    });

    std::exception_ptr restoreFailure;
    try {
        restore_.runFromStream(
            copyFile, [&](std::size_t wanted) { return pipe.take(wanted, stop); }, stop);
    } catch (...) {
        restoreFailure = std::current_exception();
    }
    pipe.leave();
    backupSide.join();

    if (stop && stop()) {
        if (restoreFailure) {
            try {
                std::rethrow_exception(restoreFailure);
            } catch (const RestoreAbandoned&) {
                throw;
            } catch (...) {
            }
        }
        // The restore had ended, or failed and dropped what it made.
        throw RestoreAbandoned("the copy was abandoned before it ended", false);
    }
    if (backupEnd.failure) {
        bool restoreWentFirst = false;
        try {
            std::rethrow_exception(backupEnd.failure);
        } catch (const RestoreGone&) {
            restoreWentFirst = true;
        } catch (...) {
        }
        if (!restoreWentFirst)
            throw StreamFailed(backupEnd.keepingFailed ? StreamSide::Keeping : StreamSide::Backup, backupEnd.failure);
    }
    if (restoreFailure)
        throw StreamFailed(StreamSide::Restore, restoreFailure);
    return backupEnd.result;
}

} // namespace db
