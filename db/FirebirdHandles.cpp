#include "db/FirebirdHandles.h"

namespace db::detail {

Transaction::~Transaction()
{
    if (!transaction_)
        return;
    try {
        Status status;
        transaction_->rollback(&status); // releases the interface on success
    } catch (const Firebird::FbException&) {
        transaction_->release();
    }
}

void Transaction::commit()
{
    Status status;
    transaction_->commit(&status); // releases the interface on success
    transaction_ = nullptr;
}

} // namespace db::detail
