#pragma once

// Internal to db/: an attach that a caller can give up waiting for.

#include <firebird/Interface.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace db::detail {

// One attempt to attach, made on a thread of its own so that the caller can give up waiting
// for a host that never answers. The attempt owns what it needs; an attachment that arrives
// after the caller gave up is detached by the attempt itself.
class AttachAttempt {
public:
    static std::shared_ptr<AttachAttempt> start(std::string database, std::vector<unsigned char> dpb);

    // The attachment, or the attempt's failure thrown; ConnectAbandoned once `stop` answers true.
    Firebird::IAttachment* wait(const std::function<bool()>& stop);

private:
    void finish(Firebird::IAttachment* attachment, std::exception_ptr failure);

    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool abandoned_ = false;
    Firebird::IAttachment* attachment_ = nullptr;
    std::exception_ptr failure_;
};

} // namespace db::detail
