#include "db/ServiceBackup.h"

#include "db/BackupWatch.h"
#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"

#include "db/EngineErrorFromStatus.h"
#include "db/ServiceAnswer.h"
#include "db/ServiceSession.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <exception>
#include <optional>
#include <vector>

namespace db {

using namespace Firebird;
using detail::Ref;
using detail::Status;

namespace {

constexpr char kServiceManager[] = "service_mgr";
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

} // namespace

namespace detail {

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
    : ServiceBackup(connectionString, serviceTargetOf(connectionString), std::move(user), std::move(password),
                    connectTimeout)
{
}

ServiceBackup::ServiceBackup(std::string connectionString, ServiceTarget target, std::string user, std::string password,
                             unsigned connectTimeout)
    : connectionString_(std::move(connectionString)), target_(std::move(target)), user_(std::move(user)),
      password_(std::move(password)), connectTimeout_(connectTimeout)
{
}

std::optional<std::uint64_t> ServiceBackup::run(const std::string& file, const ProgressLine& progress,
                                                const StopRequested& stop, std::uint64_t* ownTransactions) const
{
    std::optional<std::uint64_t> written;
    detail::ServiceLines lines([&](const std::string& text) {
        if (const std::optional<std::uint64_t> bytes = detail::bytesWrittenIn(text))
            written = bytes;
        if (progress)
            progress(text);
    });
    // Always verbose: the service's last line is the only word on the size it wrote.
    follow(file, true, [&lines](const std::string& output) { lines.add(output); }, stop, ownTransactions,
           stop || ownTransactions);
    lines.finish();
    return written;
}

std::uint64_t ServiceBackup::stream(const Piece& piece, const StopRequested& stop, std::uint64_t* ownTransactions) const
{
    std::uint64_t bytes = 0;
    // A piece that cannot be taken ends the backup as a stop would, and then its reason is thrown.
    std::exception_ptr refused;
    const StopRequested stopOrRefused = [&] { return refused || (stop && stop()); };
    try {
        follow("stdout", false,
               [&](const std::string& output) {
                   if (refused)
                       return;
                   try {
                       piece(output);
                       bytes += output.size();
                   } catch (...) {
                       refused = std::current_exception();
                   }
               },
               stopOrRefused, ownTransactions, stop || ownTransactions);
    } catch (const BackupAbandoned&) {
        if (!refused)
            throw;
    }
    if (refused)
        std::rethrow_exception(refused);
    return bytes;
}

void ServiceBackup::follow(const std::string& file, bool verbose, const Piece& output, const StopRequested& stop,
                           std::uint64_t* ownTransactions, bool watched) const
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    const ServiceTarget& target = target_;
    const detail::ServiceLogin login{user_, password_, connectTimeout_};
    const auto stopIfAsked = [&stop] {
        if (stop && stop())
            throw BackupAbandoned("the backup was abandoned before it started", false);
    };
    try {
        stopIfAsked();
        detail::ServiceSession service(master, target.serviceManager, login);
        stopIfAsked();
        // Watched only for a stop or for the count that the caller asked for: the watch is an
        // attachment of its own, which a database shut down to a single attachment leaves to gbak.
        std::optional<detail::BackupWatch> watch;
        if (watched)
            detail::watchBackupOf(watch, connectionString_, login);
        service.start([&](IXpbBuilder& start, ThrowStatusWrapper* status) {
            start.insertTag(status, isc_action_svc_backup);
            start.insertString(status, isc_spb_dbname, target.database.c_str());
            start.insertString(status, isc_spb_bkp_file, file.c_str());
            // Marks gbak's attachment so that a stop can tell it from every client's; the old
            // versions it would collect are left to the engine's own collector, as gbak -g does.
            start.insertInt(status, isc_spb_options, isc_spb_bkp_no_garbage_collect);
            if (verbose)
                start.insertInt(status, isc_spb_verbint, detail::kRecordsPerProgressLine);
        });

        // gbak is attached once the service has said something; looked for again at most twice a
        // second, so that a backup streamed in many pieces is not slowed by the looking.
        std::chrono::steady_clock::time_point nextLook;
        const auto said = [&](const std::string& text) {
            if (watch && std::chrono::steady_clock::now() >= nextLook) {
                nextLook = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
                try {
                    watch->identify();
                } catch (const std::exception&) {
                }
            }
            output(text);
        };
        // After a request to stop, gbak's attachment is deleted again at every query, since gbak
        // may not have said anything yet; a service that still ends normally has made a whole backup.
        const auto stopGbak = [&watch] {
            try {
                watch->stopServiceAttachment();
            } catch (const std::exception&) {
            }
        };
        switch (detail::followServiceOutput(service, said, stop, watch ? std::function<void()>(stopGbak) : nullptr, {})) {
        case detail::ServiceEnd::StillRunning:
            throw BackupAbandoned("the backup was abandoned before it ended", true);
        case detail::ServiceEnd::FailedAfterStop:
            // gbak failed as its attachment went, and removed its unfinished file.
            throw BackupAbandoned("the backup was abandoned before it ended", false);
        case detail::ServiceEnd::Ended:
        case detail::ServiceEnd::EndedAfterStop:
            break;
        }
        if (ownTransactions)
            *ownTransactions = watch ? watch->transactions() : 0;
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

std::optional<bool> fileExistsOnServer(const std::string& serverPrefix, const std::string& path, const std::string& user,
                                       const std::string& password, unsigned connectTimeout,
                                       const std::function<bool()>& stop)
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    try {
        Status status;
        const std::string name = serverPrefix + path;
        try {
            Ref<IAttachment> attachment(detail::attachDatabase(master, name, {user, password, connectTimeout}, stop));
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
