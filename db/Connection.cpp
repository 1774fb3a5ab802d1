#include "db/Connection.h"

#include "db/DatabaseClaim.h"
#include "db/DatabaseClaimDetail.h"
#include "db/EngineError.h"
#include "db/EngineErrorFromStatus.h"
#include "db/AttachAttempt.h"
#include "db/FieldReader.h"
#include "db/FirebirdHandles.h"
#include "db/ResultSet.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace db {

using namespace Firebird;
using detail::Ref;
using detail::Status;
using detail::Transaction;

namespace {

constexpr unsigned kDialect = 1;

// Read committed, and no waiting on locks: a row held by another transaction fails the statement
// at once instead of hanging an unattended run.
const unsigned char kTransactionParameters[] = {
    isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_nowait,
};

bool isSelect(unsigned statementType)
{
    return statementType == isc_info_sql_stmt_select || statementType == isc_info_sql_stmt_select_for_upd;
}

// A message buffer aligned for every field type.
class MessageBuffer {
public:
    explicit MessageBuffer(unsigned length) : words_((length + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t) + 1) {}
    unsigned char* data() { return reinterpret_cast<unsigned char*>(words_.data()); }

private:
    std::vector<std::uint64_t> words_;
};

} // namespace

struct Connection::Impl {
    std::string database;
    std::string user;
    std::string password;
    unsigned connectTimeout = 0;
    bool collectsGarbage = true;
    std::function<bool()> interruption;
    Ref<IAttachment> attachment;
    bool opened = false;
    bool claimWanted = false;
    std::optional<detail::ClaimScope> claim;
    detail::ForeignMarks foreignMarks;
    std::uint64_t transactionsStarted = 0;
    std::uint64_t attachmentsMade = 0;
    // The claim's marks of this object, over every attachment it makes.
    const std::string runName = detail::newRunName();

    IMaster* master() const { return fb_get_master_interface(); }

    void attach()
    {
        Status status;
        Ref<IXpbBuilder> dpb(master()->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0));
        dpb->insertString(&status, isc_dpb_user_name, user.c_str());
        dpb->insertString(&status, isc_dpb_password, password.c_str());
        dpb->insertInt(&status, isc_dpb_sql_dialect, kDialect);
        dpb->insertString(&status, isc_dpb_lc_ctype, "UTF8");
        // The database name is UTF-8 whatever the client machine's code page or locale.
        dpb->insertTag(&status, isc_dpb_utf8_filename);
        if (connectTimeout > 0)
            dpb->insertInt(&status, isc_dpb_connect_timeout, static_cast<int>(connectTimeout));
        if (!collectsGarbage)
            dpb->insertTag(&status, isc_dpb_no_garbage_collect);
        detail::keepAttachmentsOnSignals();
        const unsigned char* bytes = dpb->getBuffer(&status);
        const std::shared_ptr<detail::AttachAttempt> attempt =
            detail::AttachAttempt::start(database, std::vector<unsigned char>(bytes, bytes + dpb->getBufferLength(&status)));
        attachment.reset(attempt->wait(interruption));
        opened = true;
        ++attachmentsMade;
        if (claimWanted)
            takeClaimOrDetach();
    }

    // The claim's statements run on this attachment like any other.
    detail::Select claimStatements()
    {
        return [this](const std::string& sql) { return run(sql, Rows::All); };
    }

    // A claim that cannot be taken again after a reconnect lets nothing more be sent.
    void takeClaimOrDetach()
    {
        try {
            claim = detail::takeDatabaseClaim(claimStatements(), runName, &foreignMarks);
        } catch (const DatabaseBusy&) {
            detach(); // another instance has the database: nothing is sent
            throw;
        } catch (const FbException& e) {
            const EngineError error = detail::engineErrorFrom(e);
            detach();
            throw ClaimUnavailable(error.message());
        } catch (const Error& e) {
            detach();
            throw ClaimUnavailable(e.what());
        }
    }

    void detach()
    {
        claim.reset();
        if (attachment)
            detail::detachOrRelease(attachment.release());
    }

    // After the server or the network has gone, the next statement attaches afresh.
    void forgetIfBroken(const FbException& e)
    {
        const ISC_STATUS* errors = e.getStatus()->getErrors();
        if (errors[0] != isc_arg_gds)
            return;
        switch (errors[1]) {
        case isc_network_error:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_lost_db_connection:
        case isc_shutdown:
        case isc_att_shutdown:
            claim.reset();
            attachment.reset();
            break;
        default:
            break;
        }
    }

    Transaction begin()
    {
        Status status;
        ++transactionsStarted;
        return Transaction(attachment->startTransaction(&status, sizeof kTransactionParameters, kTransactionParameters));
    }

    // How much of a result to read: nothing, the first row only, or every row.
    enum class Rows { None, First, All };

    // `readAfter`, when given, is read in the statement's transaction once the statement has run;
    // its rows, or the engine's refusal of it, go to `read`.
    ResultSet run(const std::string& sql, Rows wanted, const std::string* readAfter = nullptr,
                  Connection::ExecutedWithRead* read = nullptr)
    {
        if (!attachment)
            attach();
        Transaction transaction = begin();
        ResultSet rows = inTransaction(sql, wanted, transaction.get());
        if (readAfter) {
            try {
                read->read = inTransaction(*readAfter, Rows::All, transaction.get());
            } catch (const FbException& e) {
                read->readRefused = detail::engineErrorFrom(e);
            }
        }
        transaction.commit();
        return rows;
    }

    ResultSet inTransaction(const std::string& sql, Rows wanted, ITransaction* transaction)
    {
        Status status;
        Ref<IStatement> statement(attachment->prepare(&status, transaction, 0, sql.c_str(), kDialect,
                                                      IStatement::PREPARE_PREFETCH_METADATA));
        Ref<IMessageMetadata> output(statement->getOutputMetadata(&status));
        const unsigned type = statement->getType(&status);
        ResultSet rows;
        if (isSelect(type)) {
            Ref<IResultSet> cursor(statement->openCursor(&status, transaction, nullptr, nullptr, output.get(), 0));
            rows = fetch(cursor.get(), output.get(), transaction, wanted);
            // A selectable procedure stops at its next SUSPEND: what follows the rows read never runs.
            cursor->close(&status);
            (void)cursor.release(); // close() released it
        } else if (output->getCount(&status) > 0) {
            // EXECUTE PROCEDURE with outputs: one row.
            MessageBuffer buffer(output->getMessageLength(&status));
            statement->execute(&status, transaction, nullptr, nullptr, output.get(), buffer.data());
            if (wanted != Rows::None)
                rows = ResultSet(columnNames(output.get()), {rowOf(output.get(), buffer.data(), transaction)});
        } else {
            statement->execute(&status, transaction, nullptr, nullptr, nullptr, nullptr);
            rows.setChangedRows(statement->getAffectedRecords(&status));
        }
        statement->free(&status);
        (void)statement.release(); // free() released it
        return rows;
    }

    ResultSet runReportingEngineErrors(const std::string& sql, Rows wanted, const std::string* readAfter = nullptr,
                                       Connection::ExecutedWithRead* read = nullptr)
    {
        try {
            return run(sql, wanted, readAfter, read);
        } catch (const FbException& e) {
            forgetIfBroken(e);
            throw detail::engineErrorFrom(e);
        }
    }

    static std::vector<std::string> columnNames(IMessageMetadata* metadata)
    {
        Status status;
        std::vector<std::string> names;
        for (unsigned i = 0; i < metadata->getCount(&status); ++i)
            names.emplace_back(metadata->getAlias(&status, i));
        return names;
    }

    std::vector<std::optional<std::string>> rowOf(IMessageMetadata* metadata, const unsigned char* message,
                                                  ITransaction* transaction)
    {
        Status status;
        std::vector<std::optional<std::string>> row;
        for (unsigned i = 0; i < metadata->getCount(&status); ++i)
            row.push_back(detail::fieldText(metadata, i, message, attachment.get(), transaction));
        return row;
    }

    ResultSet fetch(IResultSet* cursor, IMessageMetadata* metadata, ITransaction* transaction, Rows wanted)
    {
        Status status;
        MessageBuffer buffer(metadata->getMessageLength(&status));
        std::vector<std::vector<std::optional<std::string>>> rows;
        while (cursor->fetchNext(&status, buffer.data()) == IStatus::RESULT_OK) {
            if (wanted != Rows::None)
                rows.push_back(rowOf(metadata, buffer.data(), transaction));
            if (wanted == Rows::First)
                break;
        }
        return ResultSet(columnNames(metadata), std::move(rows));
    }
};

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection()
{
    impl_->detach();
}

void Connection::setDatabase(const std::string& database) { impl_->database = database; }
void Connection::setUser(const std::string& user) { impl_->user = user; }
void Connection::setPassword(const std::string& password) { impl_->password = password; }
const std::string& Connection::database() const { return impl_->database; }
const std::string& Connection::user() const { return impl_->user; }
const std::string& Connection::password() const { return impl_->password; }

void Connection::setConnectTimeout(unsigned seconds) { impl_->connectTimeout = seconds; }
unsigned Connection::connectTimeout() const { return impl_->connectTimeout; }
void Connection::setGarbageCollection(bool collects) { impl_->collectsGarbage = collects; }
bool Connection::collectsGarbage() const { return impl_->collectsGarbage; }

void Connection::open()
{
    if (impl_->attachment)
        return;
    try {
        impl_->attach();
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

void Connection::close()
{
    impl_->detach();
}

bool Connection::closeWaitingAtMost(std::chrono::milliseconds limit)
{
    impl_->claim.reset();
    if (!impl_->attachment)
        return true;
    IAttachment* attachment = impl_->attachment.release();
    auto detached = std::make_shared<std::promise<void>>();
    std::future<void> done = detached->get_future();
    std::thread([attachment, detached] {
        detail::detachOrRelease(attachment);
        detached->set_value();
    }).detach();
    return done.wait_for(limit) == std::future_status::ready;
}

bool Connection::isOpen() const
{
    return static_cast<bool>(impl_->attachment);
}

bool Connection::hasBeenOpened() const
{
    return impl_->opened;
}

std::uint64_t Connection::transactionsStarted() const
{
    return impl_->transactionsStarted;
}

std::uint64_t Connection::attachmentsMade() const
{
    return impl_->attachmentsMade;
}

void Connection::setInterruption(std::function<bool()> requested)
{
    impl_->interruption = std::move(requested);
}

void Connection::claim()
{
    impl_->claimWanted = true;
    try {
        if (!impl_->attachment)
            impl_->attach();
        else if (!impl_->claim)
            impl_->takeClaimOrDetach();
    } catch (const DatabaseBusy&) {
        impl_->claimWanted = false;
        throw;
    } catch (const ClaimUnavailable&) {
        impl_->claimWanted = false;
        throw;
    } catch (const FbException& e) {
        impl_->forgetIfBroken(e);
        throw detail::engineErrorFrom(e);
    }
}

void Connection::releaseClaim()
{
    impl_->claimWanted = false;
    if (!impl_->claim)
        return;
    impl_->claim.reset();
    try {
        detail::releaseDatabaseClaim(impl_->claimStatements());
    } catch (const FbException& e) {
        // The mark goes with the attachment at the latest.
        impl_->forgetIfBroken(e);
    }
}

bool Connection::holdsClaim() const
{
    return impl_->claim.has_value();
}

std::vector<std::string> Connection::markedAttachments()
{
    try {
        if (!impl_->attachment)
            impl_->attach();
        return detail::markedAttachments(impl_->claimStatements());
    } catch (const FbException& e) {
        impl_->forgetIfBroken(e);
        throw detail::engineErrorFrom(e);
    }
}

std::vector<std::string> Connection::foreignClaimMarks() const
{
    return impl_->foreignMarks;
}

bool Connection::claimSeesAllAttachments() const
{
    return impl_->claim != detail::ClaimScope::OwnUserOnly;
}

void Connection::dropDatabase()
{
    try {
        if (!impl_->attachment)
            impl_->attach();
        Status status;
        impl_->claim.reset();
        impl_->attachment->dropDatabase(&status); // releases the interface on success
        (void)impl_->attachment.release();
    } catch (const FbException& e) {
        impl_->forgetIfBroken(e);
        throw detail::engineErrorFrom(e);
    }
}

std::uint64_t Connection::execute(const std::string& sql)
{
    return impl_->runReportingEngineErrors(sql, Impl::Rows::None).changedRows();
}

Connection::ExecutedWithRead Connection::executeThenRead(const std::string& sql, const std::string& read)
{
    ExecutedWithRead executed;
    executed.changedRows = impl_->runReportingEngineErrors(sql, Impl::Rows::None, &read, &executed).changedRows();
    return executed;
}

ResultSet Connection::select(const std::string& sql)
{
    return impl_->runReportingEngineErrors(sql, Impl::Rows::All);
}

ResultSet Connection::selectFirst(const std::string& sql)
{
    return impl_->runReportingEngineErrors(sql, Impl::Rows::First);
}

} // namespace db
