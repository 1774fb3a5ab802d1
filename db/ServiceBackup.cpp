#include "db/ServiceBackup.h"

#include "db/EngineErrorFromStatus.h"
#include "db/FirebirdHandles.h"
#include "db/ServiceAnswer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <vector>

namespace db {

using namespace Firebird;
using detail::Ref;
using detail::Status;

namespace {

constexpr char kServiceManager[] = "service_mgr";
// Records between two progress lines of the service.
constexpr int kRecordsPerProgressLine = 100000;
// Seconds one query waits for output before it returns empty-handed: also how long a request to
// stop may wait.
constexpr int kQueryTimeoutSeconds = 1;
// Seconds a stopped service may take to end.
constexpr int kStopWaitSeconds = 3;

// "C:\..." or "C:/..." names a local file on Windows, not a host called C.
bool isDrivePath(const std::string& text, std::size_t colon)
{
    return colon == 1 && std::isalpha(static_cast<unsigned char>(text[0])) && text.size() > 2
        && (text[2] == '\\' || text[2] == '/');
}

// "inet://", "inet4://", "inet6://": the length of the scheme, 0 for none.
std::size_t urlSchemeLength(const std::string& text)
{
    for (const std::string scheme : {"inet://", "inet4://", "inet6://"})
        if (text.size() > scheme.size()
            && std::equal(scheme.begin(), scheme.end(), text.begin(),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
            return scheme.size();
    return 0;
}

class Service {
public:
    explicit Service(IService* service) : service_(service) {}
    ~Service()
    {
        if (!service_)
            return;
        try {
            Status status;
            service_->detach(&status); // releases the interface on success
        } catch (const FbException&) {
            service_->release();
        }
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;
    IService* operator->() const { return service_; }

private:
    IService* service_;
};

unsigned readLength(const unsigned char* at)
{
    return static_cast<unsigned>(at[0]) | (static_cast<unsigned>(at[1]) << 8);
}

// Hands on every whole line of the output so far; keeps the unfinished rest.
void passLines(std::string& pending, const ServiceBackup::ProgressLine& progress, std::optional<std::uint64_t>& written)
{
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
        if (end == start)
            continue;
        const std::string line = pending.substr(start, end - start);
        if (const std::optional<std::uint64_t> bytes = detail::bytesWrittenIn(line))
            written = bytes;
        if (progress)
            progress(line);
    }
    pending.erase(0, start);
}

bool hasErrorCode(const ISC_STATUS* errors, ISC_STATUS code)
{
    for (const ISC_STATUS* at = errors; *at != isc_arg_end; at += 2)
        if (*at == isc_arg_gds && at[1] == code)
            return true;
    return false;
}

// The server's system said that there is no such file or directory. Through the network the
// system's error number arrives only as its text.
bool saysNoSuchFile(const ISC_STATUS* errors)
{
    if (!hasErrorCode(errors, isc_io_error))
        return false;
    for (const ISC_STATUS* at = errors; *at != isc_arg_end; at += 2) {
        if (*at == isc_arg_unix && at[1] == ENOENT)
            return true;
        // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND of a Windows server.
        if (*at == isc_arg_win32 && (at[1] == 2 || at[1] == 3))
            return true;
        if (*at == isc_arg_interpreted) {
            const std::string text = reinterpret_cast<const char*>(at[1]);
            for (const char* absent :
                 {"No such file or directory", "The system cannot find the file", "The system cannot find the path"})
                if (text.starts_with(absent))
                    return true;
        }
    }
    return false;
}

// The server itself could not be reached or would not have the user: no file was looked at.
bool isServerUnreachable(const ISC_STATUS* errors)
{
    if (errors[0] != isc_arg_gds)
        return false;
    switch (errors[1]) {
    case isc_network_error:
    case isc_net_connect_err:
    case isc_net_connect_listen_err:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_login:
    case isc_connect_reject:
        return true;
    default:
        return false;
    }
}

// An attachment of this client's own to the database being backed up, made before the service
// starts. Through it the service's gbak can be stopped: Firebird 3 has no action to cancel a
// service, and detaching from the services manager (or the client dying) leaves the server's
// gbak writing to the end. Deleting gbak's attachment from MON$ATTACHMENTS fails its next read,
// and gbak then removes the unfinished file itself.
class Watch {
public:
    Watch(IMaster* master, const std::string& database, const std::string& user, const std::string& password,
          unsigned connectTimeout)
    {
        Status status;
        Ref<IXpbBuilder> dpb(master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0));
        dpb->insertString(&status, isc_dpb_user_name, user.c_str());
        dpb->insertString(&status, isc_dpb_password, password.c_str());
        dpb->insertTag(&status, isc_dpb_utf8_filename);
        if (connectTimeout > 0)
            dpb->insertInt(&status, isc_dpb_connect_timeout, static_cast<int>(connectTimeout));
        Ref<IProvider> provider(master->getDispatcher());
        attachment_.reset(
            provider->attachDatabase(&status, database.c_str(), dpb->getBufferLength(&status), dpb->getBuffer(&status)));
    }
    ~Watch()
    {
        try {
            Status status;
            attachment_->detach(&status); // releases the interface on success
            (void)attachment_.release();
        } catch (const FbException&) {
        }
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // gbak's attachment is the user's own, newer than this one, the only one that collects no
    // garbage (the backup asks for that, an ordinary client never does) and, unlike every
    // attachment of a client library, has neither a process id nor a process name.
    void stopServiceAttachments() const
    {
        Status status;
        detail::Transaction transaction(attachment_->startTransaction(&status, 0, nullptr));
        attachment_->execute(&status, transaction.get(), 0,
                             "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID > CURRENT_CONNECTION "
                             "and MON$SYSTEM_FLAG = 0 and MON$USER = CURRENT_USER "
                             "and MON$GARBAGE_COLLECTION = 0 and MON$REMOTE_PID is null "
                             "and MON$REMOTE_PROCESS is null",
                             3, nullptr, nullptr, nullptr, nullptr);
        transaction.commit();
    }

private:
    Ref<IAttachment> attachment_;
};

} // namespace

namespace detail {

ServiceAnswer parseServiceAnswer(const std::vector<unsigned char>& buffer)
{
    ServiceAnswer answer;
    for (std::size_t at = 0; at < buffer.size();) {
        const unsigned char tag = buffer[at++];
        switch (tag) {
        case isc_info_svc_timeout:
            answer.timedOut = true;
            continue;
        case isc_info_data_not_ready:
            answer.notReady = true;
            continue;
        case isc_info_truncated:
            continue;
        case isc_info_svc_to_eof:
        case isc_info_svc_line:
            if (at + 2 > buffer.size())
                return answer;
            {
                const std::size_t length = std::min<std::size_t>(readLength(&buffer[at]), buffer.size() - at - 2);
                at += 2;
                answer.output.append(reinterpret_cast<const char*>(&buffer[at]), length);
                at += length;
            }
            continue;
        case isc_info_svc_running:
            // A four-byte number without a length.
            if (at + 4 > buffer.size())
                return answer;
            answer.running = (buffer[at] | buffer[at + 1] | buffer[at + 2] | buffer[at + 3]) != 0;
            at += 4;
            continue;
        default: // isc_info_end, or an item this reader does not know: nothing after it can be read
            return answer;
        }
    }
    return answer;
}

std::optional<std::uint64_t> bytesWrittenIn(const std::string& line)
{
    const std::size_t words = line.rfind(" bytes written");
    if (words == std::string::npos)
        return std::nullopt;
    std::size_t start = words;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(line[start - 1])))
        --start;
    std::uint64_t bytes = 0;
    if (start == words || std::from_chars(line.data() + start, line.data() + words, bytes).ec != std::errc())
        return std::nullopt;
    return bytes;
}

} // namespace detail

ServiceTarget serviceTargetOf(const std::string& connectionString)
{
    const ServiceTarget local{std::string(), kServiceManager, connectionString, std::string()};
    if (const std::size_t scheme = urlSchemeLength(connectionString)) {
        // inet://host[:port]/path: the path is everything after the first slash past the host.
        const std::size_t slash = connectionString.find('/', scheme);
        if (slash == std::string::npos || slash == scheme)
            return local;
        const std::string prefix = connectionString.substr(0, slash + 1);
        return {connectionString.substr(0, slash), prefix + kServiceManager, connectionString.substr(slash + 1), prefix};
    }
    // An IPv6 address stands in brackets, its colons inside them.
    std::size_t from = 0;
    if (connectionString.starts_with('[')) {
        const std::size_t close = connectionString.find(']');
        if (close == std::string::npos)
            return local;
        from = close + 1;
    }
    const std::size_t colon = connectionString.find(':', from);
    if (colon == std::string::npos || colon == 0 || isDrivePath(connectionString, colon))
        return local;
    const std::string prefix = connectionString.substr(0, colon + 1);
    return {connectionString.substr(0, colon), prefix + kServiceManager, connectionString.substr(colon + 1), prefix};
}

ServiceBackup::ServiceBackup(std::string connectionString, std::string user, std::string password,
                             unsigned connectTimeout)
    : connectionString_(std::move(connectionString)), user_(std::move(user)), password_(std::move(password)),
      connectTimeout_(connectTimeout)
{
}

std::optional<std::uint64_t> ServiceBackup::run(const std::string& file, const ProgressLine& progress,
                                                const StopRequested& stop) const
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    const ServiceTarget target = serviceTargetOf(connectionString_);
    const auto stopIfAsked = [&stop] {
        if (stop && stop())
            throw BackupAbandoned("the backup was abandoned before it started", false);
    };
    try {
        stopIfAsked();
        Status status;
        IUtil* util = master->getUtilInterface();
        Ref<IXpbBuilder> attach(util->getXpbBuilder(&status, IXpbBuilder::SPB_ATTACH, nullptr, 0));
        attach->insertString(&status, isc_spb_user_name, user_.c_str());
        attach->insertString(&status, isc_spb_password, password_.c_str());
        // The names are UTF-8 whatever the locale. The flag belongs to the attachment: the client
        // converts the start block's names too unless the attachment carries it.
        attach->insertTag(&status, isc_spb_utf8_filename);
        if (connectTimeout_ > 0)
            attach->insertInt(&status, isc_spb_connect_timeout, static_cast<int>(connectTimeout_));
        Ref<IProvider> provider(master->getDispatcher());
        Service service(provider->attachServiceManager(&status, target.serviceManager.c_str(),
                                                       attach->getBufferLength(&status), attach->getBuffer(&status)));
        stopIfAsked();
        std::optional<Watch> watch;
        try {
            watch.emplace(master, connectionString_, user_, password_, connectTimeout_);
        } catch (const FbException&) {
            // The backup fails the same way a moment later, with the service's own words.
        }

        Ref<IXpbBuilder> start(util->getXpbBuilder(&status, IXpbBuilder::SPB_START, nullptr, 0));
        start->insertTag(&status, isc_action_svc_backup);
        start->insertString(&status, isc_spb_dbname, target.database.c_str());
        start->insertString(&status, isc_spb_bkp_file, file.c_str());
        // Marks gbak's attachment so that a stop can tell it from every client's; the old versions
        // it would collect are left to the engine's own collector, as gbak -g leaves them.
        start->insertInt(&status, isc_spb_options, isc_spb_bkp_no_garbage_collect);
        // Always verbose: the service's last line is the only word on the size it wrote.
        start->insertInt(&status, isc_spb_verbint, kRecordsPerProgressLine);
        service->start(&status, start->getBufferLength(&status), start->getBuffer(&status));

        const unsigned char send[] = {isc_info_svc_timeout, 4, 0, kQueryTimeoutSeconds, 0, 0, 0, isc_info_end};
        // Output in large pieces rather than a line per call: the service then runs at gbak's pace.
        const unsigned char receive[] = {isc_info_svc_to_eof, isc_info_svc_running};
        std::vector<unsigned char> buffer(32 * 1024);
        std::string pending;
        std::optional<std::uint64_t> written;
        const auto ask = [&] {
            std::fill(buffer.begin(), buffer.end(), static_cast<unsigned char>(isc_info_end));
            service->query(&status, sizeof send, send, sizeof receive, receive, static_cast<unsigned>(buffer.size()),
                           buffer.data());
            return detail::parseServiceAnswer(buffer);
        };
        // After a request to stop, gbak's attachment is deleted again at every query, since gbak
        // may not have attached yet; a service that still ends normally has made a whole backup.
        int stopQueries = 0;
        for (;;) {
            if (!stopQueries && stop && stop())
                stopQueries = 1;
            if (stopQueries) {
                if (!watch || stopQueries++ > kStopWaitSeconds / kQueryTimeoutSeconds)
                    throw BackupAbandoned("the backup was abandoned before it ended", true);
                try {
                    watch->stopServiceAttachments();
                } catch (const FbException&) {
                }
            }
            detail::ServiceAnswer answer;
            try {
                answer = ask();
            } catch (const FbException&) {
                // gbak failed as its attachment went, and removed its unfinished file.
                if (stopQueries)
                    throw BackupAbandoned("the backup was abandoned before it ended", false);
                throw;
            }
            pending += answer.output;
            passLines(pending, progress, written);
            if (answer.finished())
                break;
        }
        pending += '\n';
        passLines(pending, progress, written);
        return written;
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
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
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    const ServiceTarget target = serviceTargetOf(connectionString_);
    try {
        Status status;
        IUtil* util = master->getUtilInterface();
        Ref<IXpbBuilder> attach(util->getXpbBuilder(&status, IXpbBuilder::SPB_ATTACH, nullptr, 0));
        attach->insertString(&status, isc_spb_user_name, user_.c_str());
        attach->insertString(&status, isc_spb_password, password_.c_str());
        attach->insertTag(&status, isc_spb_utf8_filename);
        if (connectTimeout_ > 0)
            attach->insertInt(&status, isc_spb_connect_timeout, static_cast<int>(connectTimeout_));
        Ref<IProvider> provider(master->getDispatcher());
        Service service(provider->attachServiceManager(&status, target.serviceManager.c_str(),
                                                       attach->getBufferLength(&status), attach->getBuffer(&status)));
        Ref<IXpbBuilder> start(util->getXpbBuilder(&status, IXpbBuilder::SPB_START, nullptr, 0));
        start->insertTag(&status, isc_action_svc_restore);
        start->insertString(&status, isc_spb_bkp_file, backupFile.c_str());
        start->insertString(&status, isc_spb_dbname, databaseFile.c_str());
        start->insertInt(&status, isc_spb_options, isc_spb_res_create);
        start->insertInt(&status, isc_spb_verbint, kRecordsPerProgressLine);
        service->start(&status, start->getBufferLength(&status), start->getBuffer(&status));

        const unsigned char send[] = {isc_info_svc_timeout, 4, 0, kQueryTimeoutSeconds, 0, 0, 0, isc_info_end};
        const unsigned char receive[] = {isc_info_svc_to_eof, isc_info_svc_running};
        std::vector<unsigned char> buffer(32 * 1024);
        std::string pending;
        std::optional<std::uint64_t> written;
        for (;;) {
            if (stop && stop())
                throw BackupAbandoned("the restore was abandoned before it ended", true);
            std::fill(buffer.begin(), buffer.end(), static_cast<unsigned char>(isc_info_end));
            service->query(&status, sizeof send, send, sizeof receive, receive, static_cast<unsigned>(buffer.size()),
                           buffer.data());
            const detail::ServiceAnswer answer = detail::parseServiceAnswer(buffer);
            pending += answer.output;
            passLines(pending, progress, written);
            if (answer.finished())
                break;
        }
        pending += '\n';
        passLines(pending, progress, written);
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

std::optional<bool> fileExistsOnServer(const std::string& serverPrefix, const std::string& path, const std::string& user,
                                       const std::string& password, unsigned connectTimeout)
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    try {
        Status status;
        Ref<IXpbBuilder> dpb(master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0));
        dpb->insertString(&status, isc_dpb_user_name, user.c_str());
        dpb->insertString(&status, isc_dpb_password, password.c_str());
        dpb->insertTag(&status, isc_dpb_utf8_filename);
        if (connectTimeout > 0)
            dpb->insertInt(&status, isc_dpb_connect_timeout, static_cast<int>(connectTimeout));
        Ref<IProvider> provider(master->getDispatcher());
        const std::string name = serverPrefix + path;
        try {
            Ref<IAttachment> attachment(
                provider->attachDatabase(&status, name.c_str(), dpb->getBufferLength(&status), dpb->getBuffer(&status)));
            attachment->detach(&status); // releases the interface on success
            (void)attachment.release();
            return true;
        } catch (const FbException& e) {
            const ISC_STATUS* errors = e.getStatus()->getErrors();
            if (isServerUnreachable(errors))
                throw;
            if (saysNoSuchFile(errors))
                return false;
            if (hasErrorCode(errors, isc_bad_db_format))
                return true;
            return std::nullopt;
        }
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

} // namespace db
