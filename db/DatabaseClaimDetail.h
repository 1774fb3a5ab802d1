#pragma once

// The database-wide claim and the client's signal handling. Internal to db/.

#include "db/FirebirdHandles.h"

#include <memory>

namespace db::detail {

// A transaction of the attachment's own that holds the lock on the one row of RDB$DATABASE
// (a database comment that is never committed) until it is released. Every database has that
// row and no update step writes it, so a second attachment trying the same fails at once.
std::unique_ptr<Transaction> takeDatabaseClaim(Firebird::IAttachment* attachment);

// True when the failure is a lock conflict with another transaction.
bool isLockConflict(const Firebird::FbException& exception);

// The client shuts every attachment down on SIGINT or SIGTERM unless told not to; the program
// handles those signals itself and detaches cleanly. Safe to call more than once.
void keepAttachmentsOnSignals();

} // namespace db::detail
