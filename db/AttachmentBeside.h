#pragma once

#include "db/Connection.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

namespace db {

// Work done on an attachment of its own, made as `like` makes its attachments (database, user,
// password, connect timeout, garbage collection), in a thread while the caller goes on with
// `like`. The attachment is closed when the work ends.
class AttachmentBeside {
public:
    // `giveUp` is asked from the thread whenever an attachment is being made, a reconnect during
    // the work too, so it must be safe to call there; once it answers true the attempt is given
    // up (ConnectAbandoned, from the work when it was a reconnect).
    AttachmentBeside(const Connection& like, std::function<void(Connection&)> work, std::function<bool()> giveUp = {});
    AttachmentBeside(const AttachmentBeside&) = delete;
    AttachmentBeside& operator=(const AttachmentBeside&) = delete;
    // Gives up an attachment still being made and waits for the work.
    ~AttachmentBeside();

    bool done() const { return done_.load(); }
    // Waits for the work and the end of its attachment and rethrows what the work threw; the
    // second call only rethrows.
    void wait();
    // Whether the attachment was made: without it the work never ran.
    bool attached() const { return connection_.hasBeenOpened(); }
    std::uint64_t transactionsStarted() const { return connection_.transactionsStarted(); }
    std::uint64_t attachmentsMade() const { return connection_.attachmentsMade(); }

private:
    Connection connection_;
    std::atomic<bool> done_{false};
    std::atomic<bool> abandoned_{false};
    std::exception_ptr failure_;
    std::thread worker_;
};

} // namespace db
