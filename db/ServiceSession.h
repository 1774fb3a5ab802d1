#pragma once

// The services manager machinery that the backup and the restore share. Internal to db/.

#include "db/FirebirdHandles.h"
#include "db/ServiceAnswer.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace db::detail {

// Records between two progress lines of a backup or a restore.
inline constexpr int kRecordsPerProgressLine = 100000;
// Bytes of input one query hands to a service at most: its length is counted in two bytes.
inline constexpr std::size_t kLargestInput = 32 * 1024;

// Who attaches, as the connection string's owner gave it.
struct ServiceLogin {
    std::string user;
    std::string password;
    unsigned connectTimeout = 0; // seconds; 0 leaves it to the client library
};

// An attachment to the database `name` as the login's user, names in UTF-8 whatever the locale.
// Once `stop` answers true the attempt is given up (ConnectAbandoned).
Ref<Firebird::IAttachment> attachDatabase(Firebird::IMaster* master, const std::string& name, const ServiceLogin& login,
                                          const std::function<bool()>& stop = {});

// An attachment to a services manager, detached when it goes.
class ServiceSession {
public:
    ServiceSession(Firebird::IMaster* master, const std::string& serviceManager, const ServiceLogin& login);
    ~ServiceSession();
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    // Starts the action that `fill` writes into the start block.
    void start(const std::function<void(Firebird::IXpbBuilder&, Firebird::ThrowStatusWrapper*)>& fill);
    // What the service says within one query's wait.
    ServiceAnswer ask();
    // The same for a service that reads its input from this client: `input`, when given, is
    // handed to it first (at most kLargestInput bytes, no more than it asked for; an empty one
    // ends its input), and the answer says how much more it wants.
    ServiceAnswer exchange(const std::optional<std::string>& input);

private:
    Firebird::IMaster* master_;
    Firebird::IService* service_;
    std::vector<unsigned char> buffer_;
};

// How following a service ended.
enum class ServiceEnd {
    Ended,           // by itself, no stop asked
    EndedAfterStop,  // by itself although a stop was asked: its work is whole
    FailedAfterStop, // it failed after a stop was asked
    StillRunning,    // a stop was asked and it did not end within the wait
};

// The next piece of a service's input, at most the bytes it asks for; an empty piece ends it.
using ServiceInput = std::function<std::string(std::size_t wanted)>;

// Follows a started service to its own end, handing on its output as it comes to `output` and,
// when `input` is given, feeding the service its input as it asks. The rest as followService.
ServiceEnd followServiceOutput(ServiceSession& session, const std::function<void(const std::string&)>& output,
                               const std::function<bool()>& stop, const std::function<void()>& tryToStop,
                               const ServiceInput& input);

// Follows a started service to its own end, handing on each whole line of its output to `line`
// and, when `input` is given, feeding the service its input as it asks.
// Once `stop` answers true, `tryToStop` (when given) is called before every further query, and
// the service has a few seconds to end; without `tryToStop` it is left at once. Throws the
// FbException of a failure before any stop was asked.
ServiceEnd followService(ServiceSession& session, const std::function<void(const std::string&)>& line,
                         const std::function<bool()>& stop, const std::function<void()>& tryToStop,
                         const ServiceInput& input = {});

} // namespace db::detail
