#include "db/ServiceBackup.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/EngineErrorFromStatus.h"
#include "db/ResultSet.h"
#include "db/ServiceSession.h"

namespace db {

using namespace Firebird;

// What stops a running restore of Firebird 3, as tried on the embedded engine and through a
// server: nothing a client can do. gbak holds the new database in single-user shutdown until its
// last step, so no other attachment is admitted (not SYSDBA's, not through the embedded engine)
// and its MON$ATTACHMENTS cannot be reached; bringing it online is refused; a forced full
// shutdown of it is accepted but leaves gbak's attachment working; detaching from the services
// manager leaves gbak restoring to the end. A gbak that fails leaves its partial database (it
// commits what it has). So a stopped restore gets a few seconds to end by itself; the database is
// then dropped, and otherwise left to be dropped once the server's gbak has ended.
namespace {

// Drops the database this restore created; false when the engine refuses (gbak still has it, or
// it was never made).
bool dropDatabase(IMaster* master, const std::string& name, const detail::ServiceLogin& login)
{
    try {
        detail::Ref<IAttachment> attachment(detail::attachDatabase(master, name, login));
        detail::Status status;
        attachment->dropDatabase(&status); // releases the interface on success
        (void)attachment.release();
        return true;
    } catch (const FbException&) {
        return false;
    }
}

// gbak brings the new database online as its very last step: one still shut down, or one that
// cannot be read, was not restored whole, though the service may have ended without a word of
// it (a backup that ends early).
bool restoredWhole(const std::string& name, const detail::ServiceLogin& login)
{
    Connection connection;
    connection.setDatabase(name);
    connection.setUser(login.user);
    connection.setPassword(login.password);
    connection.setConnectTimeout(login.connectTimeout);
    try {
        return connection.select("select MON$SHUTDOWN_MODE from MON$DATABASE").text(0) == "0";
    } catch (const std::exception&) {
        return false;
    }
}

// The file the engine opened for the attachment, as its server names it (isc_info_db_id: a
// count, then the file name and the site name, each with a length byte).
std::string fileOf(IAttachment* attachment)
{
    detail::Status status;
    const unsigned char items[] = {isc_info_db_id, isc_info_end};
    unsigned char answer[1024] = {};
    attachment->getInfo(&status, sizeof items, items, sizeof answer, answer);
    if (answer[0] != isc_info_db_id)
        return {};
    const std::size_t length = static_cast<std::size_t>(answer[1]) | (static_cast<std::size_t>(answer[2]) << 8);
    if (length < 2 || length + 3 > sizeof answer || answer[4] > length - 2)
        return {};
    return std::string(reinterpret_cast<const char*>(answer + 5), answer[4]);
}

} // namespace

bool dropDatabaseOfFile(const std::string& connectionString, const std::string& fileSuffix, const std::string& user,
                        const std::string& password, unsigned connectTimeout)
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    try {
        detail::Ref<IAttachment> attachment(detail::attachDatabase(master, connectionString, {user, password, connectTimeout}));
        detail::Status status;
        if (!fileOf(attachment.get()).ends_with(fileSuffix)) {
            attachment->detach(&status); // releases the interface on success
            (void)attachment.release();
            return false;
        }
        attachment->dropDatabase(&status); // releases the interface on success
        (void)attachment.release();
        return true;
    } catch (const FbException&) {
        return false;
    }
}

ServiceRestore::ServiceRestore(std::string connectionString, std::string user, std::string password,
                               unsigned connectTimeout)
    : connectionString_(std::move(connectionString)), user_(std::move(user)), password_(std::move(password)),
      connectTimeout_(connectTimeout)
{
}

void ServiceRestore::run(const std::string& backupFile, const std::string& databaseFile, const ProgressLine& progress,
                         const StopRequested& stop) const
{
    restore(backupFile, databaseFile, progress, {}, stop);
}

void ServiceRestore::runFromStream(const std::string& databaseFile, const Input& input, const StopRequested& stop,
                                   const ProgressLine& progress) const
{
    restore("stdin", databaseFile, progress, input, stop);
}

void ServiceRestore::runOverFromStream(const std::string& databaseFile, const Input& input,
                                       const ProgressLine& progress) const
{
    restore("stdin", databaseFile, progress, input, {}, true);
}

void ServiceRestore::restore(const std::string& backupFile, const std::string& databaseFile, const ProgressLine& progress,
                             const Input& input, const StopRequested& stop, bool replace) const
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    const ServiceTarget target = serviceTargetOf(connectionString_);
    const detail::ServiceLogin login{user_, password_, connectTimeout_};
    const auto stopIfAsked = [&stop] {
        if (stop && stop())
            throw RestoreAbandoned("the restore was abandoned before it started", false);
    };
    const std::string name = target.serverPrefix + databaseFile;
    bool startedNew = false;
    try {
        stopIfAsked();
        detail::ServiceSession service(master, target.serviceManager, login);
        // Only a database that this restore made may be dropped after a stop: asked before it starts.
        const bool isNew = fileExistsOnServer(target.serverPrefix, databaseFile, user_, password_, connectTimeout_)
                           == std::optional<bool>(false);
        stopIfAsked();
        service.start([&](IXpbBuilder& start, ThrowStatusWrapper* status) {
            start.insertTag(status, isc_action_svc_restore);
            start.insertString(status, isc_spb_bkp_file, backupFile.c_str());
            start.insertString(status, isc_spb_dbname, databaseFile.c_str());
            start.insertInt(status, isc_spb_options, replace ? isc_spb_res_replace : isc_spb_res_create);
            if (pageBuffers_ > 0 && !replace)
                start.insertInt(status, isc_spb_res_buffers, static_cast<int>(pageBuffers_));
            // Verbose only for those who ask: gbak's output of every object costs the restore time.
            if (progress)
                start.insertInt(status, isc_spb_verbint, detail::kRecordsPerProgressLine);
        });
        startedNew = isNew;
        const auto line = [&progress](const std::string& text) {
            if (progress)
                progress(text);
        };
        // Fed from a stream, it ends by itself once its input ends, as it does after a stop.
        const auto waitForItsEnd = [] {};
        const detail::ServiceEnd end = input && !progress
            ? detail::followServiceOutput(service, {}, stop, waitForItsEnd, input)
            : detail::followService(service, line, stop, waitForItsEnd, input);
        if (end == detail::ServiceEnd::Ended) {
            if (restoredWhole(name, login))
                return;
            if (isNew)
                dropDatabase(master, name, login);
            throw Error("the restore did not complete (the backup is incomplete or damaged); the partial database "
                        + std::string(isNew ? "was dropped" : replace ? "is left shut down" : "is not this restore's"));
        }
        // A name that was taken before the restore holds another's database: none of this one's remains.
        const bool gone = !isNew
            || (end != detail::ServiceEnd::StillRunning
                && (dropDatabase(master, name, login)
                    || fileExistsOnServer(target.serverPrefix, databaseFile, user_, password_, connectTimeout_)
                        == std::optional<bool>(false)));
        throw RestoreAbandoned("the restore was abandoned before it ended", !gone);
    } catch (const FbException& e) {
        const EngineError error = detail::engineErrorFrom(e);
        // gbak commits what it has before it fails: a half-made database of this restore goes now.
        // One that is whole and online is not gbak's (another took the name in the meantime).
        if (startedNew && !restoredWhole(name, login))
            dropDatabase(master, name, login);
        throw error;
    }
}

} // namespace db
