#include "db/ServiceSession.h"

#include "db/AttachAttempt.h"

#include <algorithm>

namespace db::detail {

using namespace Firebird;

namespace {

// Seconds one query waits for output before it returns empty-handed: also how long a request to
// stop may wait.
constexpr int kQueryTimeoutSeconds = 1;
// Seconds a stopped service may take to end.
constexpr int kStopWaitSeconds = 3;
// Output arrives in pieces of up to this size.
constexpr std::size_t kAnswerBytes = 32 * 1024;

unsigned readLength(const unsigned char* at)
{
    return static_cast<unsigned>(at[0]) | (static_cast<unsigned>(at[1]) << 8);
}

} // namespace

void ServiceLines::pass(std::size_t from, std::size_t length)
{
    if (length > 0 && line_)
        line_(pending_.substr(from, length));
}

void ServiceLines::add(const std::string& output)
{
    pending_ += output;
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
        pass(start, end - start);
    for (; pending_.size() - start >= kLongestServiceLine; start += kLongestServiceLine)
        pass(start, kLongestServiceLine);
    pending_.erase(0, start);
}

void ServiceLines::finish()
{
    pass(0, pending_.size());
    pending_.clear();
}

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
        case isc_info_svc_stdin:
            // A four-byte number without a length.
            if (at + 4 > buffer.size())
                return answer;
            {
                const std::uint32_t number = static_cast<std::uint32_t>(buffer[at])
                    | (static_cast<std::uint32_t>(buffer[at + 1]) << 8) | (static_cast<std::uint32_t>(buffer[at + 2]) << 16)
                    | (static_cast<std::uint32_t>(buffer[at + 3]) << 24);
                if (tag == isc_info_svc_running)
                    answer.running = number != 0;
                else
                    answer.inputWanted = number;
            }
            at += 4;
            continue;
        default: // isc_info_end, or an item this reader does not know: nothing after it can be read
            return answer;
        }
    }
    return answer;
}

Ref<IAttachment> attachDatabase(IMaster* master, const std::string& name, const ServiceLogin& login,
                                const std::function<bool()>& stop)
{
    Status status;
    Ref<IXpbBuilder> dpb(master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0));
    dpb->insertString(&status, isc_dpb_user_name, login.user.c_str());
    dpb->insertString(&status, isc_dpb_password, login.password.c_str());
    dpb->insertTag(&status, isc_dpb_utf8_filename);
    if (login.connectTimeout > 0)
        dpb->insertInt(&status, isc_dpb_connect_timeout, static_cast<int>(login.connectTimeout));
    const unsigned char* bytes = dpb->getBuffer(&status);
    return Ref<IAttachment>(
        AttachAttempt::start(name, std::vector<unsigned char>(bytes, bytes + dpb->getBufferLength(&status)))->wait(stop));
}

ServiceSession::ServiceSession(IMaster* master, const std::string& serviceManager, const ServiceLogin& login)
    : master_(master), service_(nullptr), buffer_(kAnswerBytes)
{
    Status status;
    Ref<IXpbBuilder> attach(master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::SPB_ATTACH, nullptr, 0));
    attach->insertString(&status, isc_spb_user_name, login.user.c_str());
    attach->insertString(&status, isc_spb_password, login.password.c_str());
    // The names are UTF-8 whatever the locale. The flag belongs to the attachment: the client
    // converts the start block's names too unless the attachment carries it.
    attach->insertTag(&status, isc_spb_utf8_filename);
    if (login.connectTimeout > 0)
        attach->insertInt(&status, isc_spb_connect_timeout, static_cast<int>(login.connectTimeout));
    Ref<IProvider> provider(master->getDispatcher());
    service_ = provider->attachServiceManager(&status, serviceManager.c_str(), attach->getBufferLength(&status),
                                              attach->getBuffer(&status));
}

ServiceSession::~ServiceSession()
{
    detachOrRelease(service_);
}

void ServiceSession::start(const std::function<void(IXpbBuilder&, ThrowStatusWrapper*)>& fill)
{
    Status status;
    Ref<IXpbBuilder> start(master_->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::SPB_START, nullptr, 0));
    fill(*start, &status);
    service_->start(&status, start->getBufferLength(&status), start->getBuffer(&status));
}

ServiceAnswer ServiceSession::ask()
{
    Status status;
    const unsigned char send[] = {isc_info_svc_timeout, 4, 0, kQueryTimeoutSeconds, 0, 0, 0, isc_info_end};
    // Output in large pieces rather than a line per call: the service then runs at gbak's pace.
    const unsigned char receive[] = {isc_info_svc_to_eof, isc_info_svc_running};
    std::fill(buffer_.begin(), buffer_.end(), static_cast<unsigned char>(isc_info_end));
    service_->query(&status, sizeof send, send, sizeof receive, receive, static_cast<unsigned>(buffer_.size()),
                    buffer_.data());
    return parseServiceAnswer(buffer_);
}

ServiceAnswer ServiceSession::exchange(const std::optional<std::string>& input)
{
    Status status;
    std::vector<unsigned char> send = {isc_info_svc_timeout, 4, 0, kQueryTimeoutSeconds, 0, 0, 0};
    if (input) {
        const std::size_t length = std::min(input->size(), kLargestInput);
        send.push_back(isc_info_svc_line);
        send.push_back(static_cast<unsigned char>(length & 0xff));
        send.push_back(static_cast<unsigned char>(length >> 8));
        send.insert(send.end(), input->begin(), input->begin() + static_cast<std::ptrdiff_t>(length));
    }
    send.push_back(isc_info_end);
    // A service that reads its input must be asked for it at every query, or the query fails.
    const unsigned char receive[] = {isc_info_svc_to_eof, isc_info_svc_stdin, isc_info_svc_running};
    std::fill(buffer_.begin(), buffer_.end(), static_cast<unsigned char>(isc_info_end));
    service_->query(&status, static_cast<unsigned>(send.size()), send.data(), sizeof receive, receive,
                    static_cast<unsigned>(buffer_.size()), buffer_.data());
    return parseServiceAnswer(buffer_);
}

ServiceEnd followServiceOutput(ServiceSession& session, const std::function<void(const std::string&)>& output,
                               const std::function<bool()>& stop, const std::function<void()>& tryToStop,
                               const ServiceInput& input)
{
    int stopQueries = 0;
    std::optional<std::string> toSend;
    for (;;) {
        if (!stopQueries && stop && stop())
            stopQueries = 1;
        if (stopQueries) {
            if (!tryToStop || stopQueries++ > kStopWaitSeconds / kQueryTimeoutSeconds)
                return ServiceEnd::StillRunning;
            tryToStop();
        }
        ServiceAnswer answer;
        try {
            answer = input ? session.exchange(toSend) : session.ask();
        } catch (const FbException&) {
            if (stopQueries)
                return ServiceEnd::FailedAfterStop;
            throw;
        }
        toSend.reset();
        if (output && !answer.output.empty())
            output(answer.output);
        if (answer.finished())
            break;
        if (input && answer.inputWanted > 0)
            toSend = input(std::min<std::size_t>(answer.inputWanted, kLargestInput));
    }
    return stopQueries ? ServiceEnd::EndedAfterStop : ServiceEnd::Ended;
}

ServiceEnd followService(ServiceSession& session, const std::function<void(const std::string&)>& line,
                         const std::function<bool()>& stop, const std::function<void()>& tryToStop,
                         const ServiceInput& input)
{
    ServiceLines lines(line);
    const ServiceEnd end =
        followServiceOutput(session, [&lines](const std::string& output) { lines.add(output); }, stop, tryToStop, input);
    if (end == ServiceEnd::Ended || end == ServiceEnd::EndedAfterStop)
        lines.finish();
    return end;
}

} // namespace db::detail
