#pragma once

// The database-wide claim and the client's signal handling. Internal to db/.

#include "db/ResultSet.h"

#include <functional>
#include <string>

namespace db::detail {

// Runs one statement on the attachment to claim, in a transaction of its own, and returns its rows.
using Select = std::function<ResultSet(const std::string&)>;

// What a claim taken on an attachment can vouch for.
enum class ClaimScope {
    AllAttachments, // the user sees every attachment, so no other instance can run unseen
    OwnUserOnly,    // the user sees only its own attachments: another user's instance would go unseen
};

// Marks the attachment as running an update (a session context variable, so no lock and no
// transaction outlives the statement), then looks for another attachment so marked. Throws
// DatabaseBusy, after taking the mark back, when there is one: two instances marking at the same
// moment may both be refused, never both go on.
ClaimScope takeDatabaseClaim(const Select& select);

// Takes the mark back; the attachment goes on working.
void releaseDatabaseClaim(const Select& select);

// The client shuts every attachment down on SIGINT or SIGTERM unless told not to; the program
// handles those signals itself and detaches cleanly. Safe to call more than once.
void keepAttachmentsOnSignals();

} // namespace db::detail
