#include "db/DatabaseClaim.h"
#include "db/DatabaseClaimDetail.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <chrono>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace db::detail {

namespace {

constexpr const char* kWanting = " chce";
constexpr const char* kRunning = " bezi";
// Tries before two contenders give up; each waits a random moment first, so both giving up takes
// a run of equal draws.
constexpr int kAttempts = 8;

std::string quoted(const std::string& text)
{
    std::string quotedText = "'";
    for (const char c : text)
        quotedText += c == '\'' ? std::string("''") : std::string(1, c);
    return quotedText + "'";
}

std::string setMark(const std::string& value)
{
    return std::string("select rdb$set_context('USER_SESSION', '") + kClaimMark + "', " + value + ") from rdb$database";
}

// A mark this program writes: "dph2012 <process> <hex> bezi" or "... chce". Only these count.
std::string ownForm(const char* state)
{
    return std::string("'dph2012 [0-9]+ [0-9a-f]+") + state + "'";
}

// Other runs' marks: how many run and how many contend, and whether this user may see every
// attachment (only the administrator, the RDB$ADMIN role and the database owner may; others see
// their own only). One statement, so one monitoring snapshot.
std::string othersMarked(const std::string& run)
{
    const std::string others = std::string("from MON$CONTEXT_VARIABLES v where v.MON$VARIABLE_NAME = '") + kClaimMark
        + "' and v.MON$ATTACHMENT_ID <> CURRENT_CONNECTION and v.MON$VARIABLE_VALUE not starting with "
        + quoted(run + " ");
    return "select (select count(*) " + others + " and v.MON$VARIABLE_VALUE similar to " + ownForm(kRunning)
        + "), (select count(*) " + others + " and v.MON$VARIABLE_VALUE similar to " + ownForm(kWanting)
        + "), iif(CURRENT_USER = 'SYSDBA' or CURRENT_ROLE = 'RDB$ADMIN' or CURRENT_USER = d.MON$OWNER, 1, 0) from "
          "MON$DATABASE d";
}

// The other attachments whose marks meet `condition`, each described for people as the
// monitoring tables tell it.
std::vector<std::string> described(const Select& select, const std::string& condition)
{
    const std::string sql =
        "select 'pripojeni ' || a.MON$ATTACHMENT_ID || ', uzivatel ' || trim(a.MON$USER) || ', adresa ' || "
        "coalesce(a.MON$REMOTE_ADDRESS, 'lokalne') || ', proces ' || coalesce(a.MON$REMOTE_PROCESS, '?') || ', od ' || "
        "substring(cast(a.MON$TIMESTAMP as varchar(32)) from 1 for 20) || ', znacka ''' || v.MON$VARIABLE_VALUE || '''' "
        "from MON$ATTACHMENTS a "
        "join MON$CONTEXT_VARIABLES v on v.MON$ATTACHMENT_ID = a.MON$ATTACHMENT_ID where v.MON$VARIABLE_NAME = '"
        + std::string(kClaimMark) + "' and v.MON$ATTACHMENT_ID <> CURRENT_CONNECTION and " + condition
        + " order by a.MON$ATTACHMENT_ID";
    std::vector<std::string> found;
    for (ResultSet rows = select(sql); !rows.eof(); rows.next())
        found.push_back(rows.text(0));
    return found;
}

// This run's attachments that a broken connection left behind: they hold its mark still.
std::string ownStaleAttachments(const std::string& run)
{
    return std::string("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION and "
                       "MON$ATTACHMENT_ID in (select MON$ATTACHMENT_ID from MON$CONTEXT_VARIABLES where "
                       "MON$VARIABLE_NAME = '")
        + kClaimMark + "' and MON$VARIABLE_VALUE starting with " + quoted(run + " ") + ")";
}

void waitARandomMoment()
{
    static thread_local std::mt19937 draw{std::random_device{}()};
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 250)(draw)));
}

int refuseSignalShutdown(const int reason, const int mask, void*)
{
    return (mask & fb_shut_confirmation) != 0 && reason == fb_shutrsn_signal ? 1 : 0;
}

} // namespace

std::string newRunName()
{
    std::random_device device;
    std::ostringstream name;
    name << "dph2012 " << ::getpid() << ' ' << std::hex << device() << device();
    return name.str();
}

ClaimScope takeDatabaseClaim(const Select& select, const std::string& run, ForeignMarks* foreign)
{
    try {
        select(ownStaleAttachments(run));
    } catch (const Firebird::FbException&) {
        // Only a privileged user may; another user's old attachment goes when the server notices.
    }
    for (int attempt = 1;; ++attempt) {
        select(setMark(quoted(run + kWanting)));
        const ResultSet seen = select(othersMarked(run));
        if (seen.integer(0) > 0 || (seen.integer(1) > 0 && attempt == kAttempts)) {
            std::string holder;
            try {
                for (const std::string& each :
                     described(select, "v.MON$VARIABLE_VALUE similar to " + ownForm(seen.integer(0) > 0 ? kRunning : kWanting)
                                           + " and v.MON$VARIABLE_VALUE not starting with " + quoted(run + " ")))
                    holder += (holder.empty() ? "" : "; ") + each;
            } catch (const Firebird::FbException&) {
                // The refusal stands without its names.
            }
            releaseDatabaseClaim(select);
            throw DatabaseBusy("another attachment holds the database-wide claim", holder);
        }
        if (seen.integer(1) == 0) {
            select(setMark(quoted(run + kRunning)));
            if (foreign) {
                try {
                    *foreign = described(select, "v.MON$VARIABLE_VALUE not similar to " + ownForm(kRunning)
                                                     + " and v.MON$VARIABLE_VALUE not similar to " + ownForm(kWanting));
                } catch (const Firebird::FbException&) {
                    foreign->clear(); // only for the log: the claim stands
                }
            }
            return seen.integer(2) == 1 ? ClaimScope::AllAttachments : ClaimScope::OwnUserOnly;
        }
        releaseDatabaseClaim(select);
        waitARandomMoment();
    }
}

std::vector<std::string> markedAttachments(const Select& select)
{
    return described(select, "v.MON$VARIABLE_VALUE is not null");
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
