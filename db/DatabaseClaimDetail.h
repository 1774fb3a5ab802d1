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
// transaction outlives the statement), then looks for another attachment so marked. `run`
// names this run: its own marks, such as one a broken attachment left on the server, never count
// against it, and those it may remove are removed. An instance that sees another one only
// contending withdraws and tries again after a random moment, so of two started at once exactly
// one runs. Throws DatabaseBusy, after taking the mark back, when another one runs.
ClaimScope takeDatabaseClaim(const Select& select, const std::string& run);

// A name for one run that no other run has: the process and a random number.
std::string newRunName();

// Takes the mark back; the attachment goes on working.
void releaseDatabaseClaim(const Select& select);

// The client shuts every attachment down on SIGINT or SIGTERM unless told not to; the program
// handles those signals itself and detaches cleanly. Safe to call more than once.
void keepAttachmentsOnSignals();

} // namespace db::detail
