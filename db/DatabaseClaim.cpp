#include "db/DatabaseClaim.h"
#include "db/DatabaseClaimDetail.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <mutex>
#include <unistd.h>

namespace db::detail {

namespace {

std::string setMark(const std::string& value)
{
    return std::string("select rdb$set_context('USER_SESSION', '") + kClaimMark + "', " + value + ") from rdb$database";
}

// Other attachments that carry the mark, and whether this user may see every attachment (only
// the administrator, the RDB$ADMIN role and the database owner may; others see their own only).
// The monitoring snapshot is taken once, by this one statement.
std::string othersMarked()
{
    return std::string("select (select count(*) from MON$CONTEXT_VARIABLES v where v.MON$VARIABLE_NAME = '")
        + kClaimMark
        + "' and v.MON$ATTACHMENT_ID <> CURRENT_CONNECTION), iif(CURRENT_USER = 'SYSDBA' or CURRENT_ROLE = "
          "'RDB$ADMIN' or CURRENT_USER = d.MON$OWNER, 1, 0) from MON$DATABASE d";
}

int refuseSignalShutdown(const int reason, const int mask, void*)
{
    return (mask & fb_shut_confirmation) != 0 && reason == fb_shutrsn_signal ? 1 : 0;
}

} // namespace

ClaimScope takeDatabaseClaim(const Select& select)
{
    // The process id tells support which program holds it.
    select(setMark("'dph2012 " + std::to_string(::getpid()) + "'"));
    const ResultSet seen = select(othersMarked());
    if (seen.integer(0) > 0) {
        releaseDatabaseClaim(select);
        throw DatabaseBusy("another attachment holds the database-wide claim");
    }
    return seen.integer(1) == 1 ? ClaimScope::AllAttachments : ClaimScope::OwnUserOnly;
}

void releaseDatabaseClaim(const Select& select)
{
    select(setMark("null"));
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
