#include "db/AttachAttempt.h"

#include "db/Connection.h"
#include "db/FirebirdHandles.h"

#include <chrono>
#include <thread>

namespace db::detail {

using namespace Firebird;

std::shared_ptr<AttachAttempt> AttachAttempt::start(std::string database, std::vector<unsigned char> dpb)
{
    auto attempt = std::make_shared<AttachAttempt>();
    std::thread([attempt, database = std::move(database), dpb = std::move(dpb)] {
        IAttachment* attachment = nullptr;
        std::exception_ptr failure;
        try {
            Status status;
            Ref<IProvider> provider(fb_get_master_interface()->getDispatcher());
            attachment = provider->attachDatabase(&status, database.c_str(), static_cast<unsigned>(dpb.size()), dpb.data());
        } catch (...) {
            failure = std::current_exception();
        }
        attempt->finish(attachment, failure);
    }).detach();
    return attempt;
}

IAttachment* AttachAttempt::wait(const std::function<bool()>& stop)
{
    std::unique_lock lock(mutex_);
    while (!done_.wait_for(lock, std::chrono::milliseconds(20), [this] { return finished_; })) {
        if (stop && stop()) {
            abandoned_ = true;
            throw ConnectAbandoned("the connection being made was given up");
        }
    }
    if (failure_)
        std::rethrow_exception(failure_);
    return attachment_;
}

void AttachAttempt::finish(IAttachment* attachment, std::exception_ptr failure)
{
    std::unique_lock lock(mutex_);
    if (abandoned_ && attachment) {
        lock.unlock();
        detachOrRelease(attachment);
        return;
    }
    attachment_ = attachment;
    failure_ = std::move(failure);
    finished_ = true;
    done_.notify_one();
}

} // namespace db::detail
