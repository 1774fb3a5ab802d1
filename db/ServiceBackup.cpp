#include "db/ServiceBackup.h"

#include "db/EngineError.h"
#include "db/EngineErrorFromStatus.h"
#include "db/FirebirdHandles.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace db {

using namespace Firebird;
using detail::Ref;
using detail::Status;

namespace {

constexpr char kServiceManager[] = "service_mgr";
// Records between two progress lines of the service.
constexpr int kRecordsPerProgressLine = 100000;
// Seconds one query waits for output before it returns empty-handed.
constexpr int kQueryTimeoutSeconds = 1;

// "C:\..." or "C:/..." names a local file on Windows, not a host called C.
bool isDrivePath(const std::string& text, std::size_t colon)
{
    return colon == 1 && std::isalpha(static_cast<unsigned char>(text[0]))
        && text.size() > 2 && (text[2] == '\\' || text[2] == '/');
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

// One query's answer: the output it carries (empty when none) and whether it waited in vain.
struct Answer {
    std::string output;
    bool timedOut = false;
};

Answer parseAnswer(const std::vector<unsigned char>& buffer)
{
    Answer answer;
    for (std::size_t at = 0; at < buffer.size();) {
        const unsigned char tag = buffer[at++];
        if (tag == isc_info_end)
            break;
        if (tag == isc_info_svc_timeout) {
            answer.timedOut = true;
            continue;
        }
        if (tag == isc_info_svc_to_eof && at + 2 <= buffer.size()) {
            const unsigned length = std::min<std::size_t>(readLength(&buffer[at]), buffer.size() - at - 2);
            at += 2;
            answer.output.assign(reinterpret_cast<const char*>(&buffer[at]), length);
            at += length;
            continue;
        }
        if (tag == isc_info_truncated || tag == isc_info_data_not_ready)
            continue;
        break;
    }
    return answer;
}

// Hands on every whole line of the output so far; keeps the unfinished rest.
void passLines(std::string& pending, const ServiceBackup::ProgressLine& progress)
{
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
        if (progress && end > start)
            progress(pending.substr(start, end - start));
    pending.erase(0, start);
}

} // namespace

ServiceTarget serviceTargetOf(const std::string& connectionString)
{
    const std::size_t colon = connectionString.find(':');
    if (colon == std::string::npos || colon == 0 || isDrivePath(connectionString, colon))
        return {std::string(), kServiceManager, connectionString};
    const std::string host = connectionString.substr(0, colon);
    return {host, host + ":" + kServiceManager, connectionString.substr(colon + 1)};
}

ServiceBackup::ServiceBackup(std::string connectionString, std::string user, std::string password)
    : connectionString_(std::move(connectionString)), user_(std::move(user)), password_(std::move(password))
{
}

void ServiceBackup::run(const std::string& file, const ProgressLine& progress) const
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
        Ref<IProvider> provider(master->getDispatcher());
        Service service(provider->attachServiceManager(&status, target.serviceManager.c_str(),
                                                       attach->getBufferLength(&status), attach->getBuffer(&status)));

        Ref<IXpbBuilder> start(util->getXpbBuilder(&status, IXpbBuilder::SPB_START, nullptr, 0));
        start->insertTag(&status, isc_action_svc_backup);
        start->insertString(&status, isc_spb_dbname, target.database.c_str());
        start->insertString(&status, isc_spb_bkp_file, file.c_str());
        if (progress)
            start->insertInt(&status, isc_spb_verbint, kRecordsPerProgressLine);
        service->start(&status, start->getBufferLength(&status), start->getBuffer(&status));

        const unsigned char send[] = {isc_info_svc_timeout, 4, 0, kQueryTimeoutSeconds, 0, 0, 0, isc_info_end};
        // Output in large pieces rather than a line per call: the service then runs at gbak's pace.
        const unsigned char receive[] = {isc_info_svc_to_eof};
        std::vector<unsigned char> buffer(32 * 1024);
        std::string pending;
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), static_cast<unsigned char>(isc_info_end));
            service->query(&status, sizeof send, send, sizeof receive, receive, static_cast<unsigned>(buffer.size()),
                           buffer.data());
            const Answer answer = parseAnswer(buffer);
            pending += answer.output;
            passLines(pending, progress);
            if (answer.output.empty() && !answer.timedOut)
                break; // nothing more and no waiting: the service has finished
        }
        pending += '\n';
        passLines(pending, progress);
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

} // namespace db
