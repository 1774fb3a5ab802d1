#pragma once

// The database-wide claim and the client's signal handling. Internal to db/.

#include "db/ResultSet.h"

#include <functional>
#include <string>
#include <vector>

namespace db::detail {

// Runs one statement on the attachment to claim, in a transaction of its own, and returns its rows.
using Select = std::function<ResultSet(const std::string&)>;

// What a claim taken on an attachment can vouch for.
enum class ClaimScope {
    AllAttachments, // the user sees every attachment, so no other instance can run unseen
    OwnUserOnly,    // the user sees only its own attachments: another user's instance would go unseen
};

// Attachments that carry the mark's name with a value this program never writes (anyone may set a
// session variable), each described as DatabaseBusy::holder is. They are not counted.
using ForeignMarks = std::vector<std::string>;

// Marks the attachment as running an update (a session context variable, so no lock and no
// transaction outlives the statement), then looks for another attachment so marked. `run`
// names this run: its own marks, such as one a broken attachment left on the server, never count
// against it, and those it may remove are removed. An instance that sees another one only
// contending withdraws and tries again after a random moment, so of two started at once exactly
// one runs. Throws DatabaseBusy, after taking the mark back, when another one runs.
// `foreign`, if given, receives the foreign marks seen when the claim is taken.
ClaimScope takeDatabaseClaim(const Select& select, const std::string& run, ForeignMarks* foreign = nullptr);

// Every other attachment that carries a mark of the claim's name, whatever its value, described.
std::vector<std::string> markedAttachments(const Select& select);

// A name for one run that no other run has: the process and a random number.
std::string newRunName();

// Takes the mark back; the attachment goes on working.
void releaseDatabaseClaim(const Select& select);

// The client shuts every attachment down on SIGINT or SIGTERM unless told not to; the program
// handles those signals itself and detaches cleanly. Safe to call more than once.
void keepAttachmentsOnSignals();

} // namespace db::detail
