#include "db/AttachmentBeside.h"

#include <utility>

namespace db {

AttachmentBeside::AttachmentBeside(const Connection& like, std::function<void(Connection&)> work,
                                   std::function<bool()> giveUp)
{
    connection_.setDatabase(like.database());
    connection_.setUser(like.user());
    connection_.setPassword(like.password());
    connection_.setConnectTimeout(like.connectTimeout());
    connection_.setGarbageCollection(like.collectsGarbage());
    connection_.setInterruption([this, giveUp = std::move(giveUp)] { return abandoned_.load() || (giveUp && giveUp()); });
    worker_ = std::thread([this, work = std::move(work)] {
        try {
            connection_.open();
            work(connection_);
        } catch (...) {
            failure_ = std::current_exception();
        }
        try {
            connection_.close();
        } catch (const std::exception&) {
        }
        done_.store(true);
    });
}

AttachmentBeside::~AttachmentBeside()
{
    abandoned_.store(true);
    if (worker_.joinable())
        worker_.join();
}

void AttachmentBeside::wait()
{
    if (worker_.joinable())
        worker_.join();
    if (failure_)
        std::rethrow_exception(failure_);
}

} // namespace db
