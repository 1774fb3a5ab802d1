#pragma once

// What the services manager answers to a query for a running service's output. Internal to db/.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace db::detail {

struct ServiceAnswer {
    std::string output;
    // The query waited its whole time for output in vain.
    bool timedOut = false;
    // The service still runs and had nothing to say yet.
    bool notReady = false;
    // Whether the service still runs, when that was asked.
    std::optional<bool> running;
    // Bytes of input the service waits for (a restore from the client's stream), when that was asked.
    std::uint32_t inputWanted = 0;

    // The service has ended and said everything: nothing else counts as its end.
    bool finished() const { return output.empty() && !timedOut && !notReady && !running.value_or(false); }
};

// The output of a running service cut into its lines as it arrives, each handed on without its
// line end; empty lines are skipped. A service that sends no line end is not buffered without
// limit: once kLongestServiceLine bytes are waiting, they are handed on as a line of their own.
inline constexpr std::size_t kLongestServiceLine = 16 * 1024;
class ServiceLines {
public:
    explicit ServiceLines(std::function<void(const std::string&)> line) : line_(std::move(line)) {}
    void add(const std::string& output);
    // The service has ended: what is still waiting is its last line.
    void finish();
    std::size_t waiting() const { return pending_.size(); }

private:
    void pass(std::size_t from, std::size_t length);

    std::function<void(const std::string&)> line_;
    std::string pending_;
};

// Reads an answer to the items isc_info_svc_to_eof (or _line), isc_info_svc_running and
// isc_info_svc_stdin.
ServiceAnswer parseServiceAnswer(const std::vector<unsigned char>& buffer);

// The size in the service's last line of a backup ("... 98304 bytes written"), if the line has one.
std::optional<std::uint64_t> bytesWrittenIn(const std::string& line);

} // namespace db::detail
