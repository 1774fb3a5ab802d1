#include "db/DatabaseClaimDetail.h"

#include <ibase.h>

#include <mutex>

namespace db::detail {

using namespace Firebird;

namespace {

const unsigned char kClaimTransaction[] = {
    isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_nowait,
};

int refuseSignalShutdown(const int reason, const int mask, void*)
{
    return (mask & fb_shut_confirmation) != 0 && reason == fb_shutrsn_signal ? 1 : 0;
}

} // namespace

std::unique_ptr<Transaction> takeDatabaseClaim(IAttachment* attachment)
{
    Status status;
    auto claim = std::make_unique<Transaction>(
        attachment->startTransaction(&status, sizeof kClaimTransaction, kClaimTransaction));
    attachment->execute(&status, claim->get(), 0, "comment on database is null", 1, nullptr, nullptr, nullptr,
                        nullptr);
    return claim;
}

bool isLockConflict(const FbException& exception)
{
    const ISC_STATUS* item = exception.getStatus()->getErrors();
    while (item[0] != isc_arg_end) {
        if (item[0] == isc_arg_gds
            && (item[1] == isc_lock_conflict || item[1] == isc_update_conflict || item[1] == isc_deadlock))
            return true;
        item += item[0] == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

void keepAttachmentsOnSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ISC_STATUS_ARRAY status{};
        fb_shutdown_callback(status, &refuseSignalShutdown, fb_shut_confirmation, nullptr);
    });
}

} // namespace db::detail
