#pragma once

#include "db/EngineError.h"
#include "db/ResultSet.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace db {

// A connection being made was given up because the program was asked to stop.
class ConnectAbandoned : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One attachment to a Firebird database, in SQL dialect 1. Every statement runs in a transaction
// of its own that is committed when the statement completes. A statement sent while the
// connection is closed opens it first.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Any Firebird connection string: an alias ("QVT"), a path, "host:alias", "host/port:path".
    void setDatabase(const std::string& database);
    void setUser(const std::string& user);
    void setPassword(const std::string& password);
    const std::string& database() const;
    const std::string& user() const;
    const std::string& password() const;
    // Seconds an attachment may take to be accepted; 0 leaves it to the client library.
    void setConnectTimeout(unsigned seconds);
    unsigned connectTimeout() const;
    // Whether the attachments made from now on clear the old versions of records they read (the
    // engine's default); a database about to be dropped is spared that work.
    void setGarbageCollection(bool collects);
    bool collectsGarbage() const;

    // Asked about every few hundredths of a second while a connection is being made; once it
    // answers true, the attempt is given up (ConnectAbandoned) instead of waiting for the host.
    void setInterruption(std::function<bool()> requested);

    // Throws EngineError when the engine refuses, Error when the client library is unusable.
    void open();
    void close();
    // Closes as close() does, but waits for the engine at most `limit`: after a stop signal, or
    // while its garbage collector clears old record versions, the embedded engine may not finish
    // a detach, and the program must still end. The detach goes on by itself meanwhile. False
    // when it had not returned in time.
    bool closeWaitingAtMost(std::chrono::milliseconds limit);
    bool isOpen() const;
    // True once any attachment has been made: until then nothing can have reached the database.
    bool hasBeenOpened() const;
    // How many transactions this object has started on the engine, over all its attachments.
    std::uint64_t transactionsStarted() const;
    // How many attachments this object has made.
    std::uint64_t attachmentsMade() const;

    // Takes a database-wide claim that lasts until releaseClaim(), opening the connection first
    // if needed; a connection opened again later takes it again before any statement is sent.
    // The claim holds no lock and no transaction: no statement of another program waits on it.
    // Throws DatabaseBusy when another attachment holds it, EngineError for any other failure
    // (no connection: the claim is then taken at the next attachment).
    void claim();
    void releaseClaim();
    bool holdsClaim() const;
    // False when the user sees only its own attachments, so an instance run by another user
    // would go unseen; true otherwise, and while no claim is held.
    bool claimSeesAllAttachments() const;
    // Other attachments seen at the last claim with a mark of the claim's name that this program
    // never writes, described (id, user, address, process, since, the mark) as they set them.
    std::vector<std::string> foreignClaimMarks() const;
    // Every other attachment that carries a mark of the claim's name, described the same way.
    // Throws EngineError when the monitoring tables cannot be read.
    std::vector<std::string> markedAttachments();

    // Removes the database itself, opening the connection first if needed; the engine refuses
    // while another attachment is open. The connection is closed afterwards.
    void dropDatabase();

    // Runs one statement as sent, without parameters, and commits it. Warnings are not failures.
    // The rows it inserted, updated or deleted, as the engine counts them (a procedure's own
    // statements are not its caller's).
    std::uint64_t execute(const std::string& sql);
    // What executeThenRead() did: the statement's changed rows, and the read's rows or, when the
    // engine refused the read, its error (the statement is committed all the same).
    struct ExecutedWithRead {
        std::uint64_t changedRows = 0;
        ResultSet read;
        std::optional<EngineError> readRefused;
    };
    // Runs `sql` as execute() does, then `read` in the same transaction before the commit: what
    // the statement itself changed can be read there before anyone else's work can come between.
    ExecutedWithRead executeThenRead(const std::string& sql, const std::string& read);
    // Runs one statement, fetches every row of its result as text and commits.
    ResultSet select(const std::string& sql);
    // Runs one statement, fetches its first row only, closes the cursor and commits: the rest of
    // the result is never produced.
    ResultSet selectFirst(const std::string& sql);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace db
