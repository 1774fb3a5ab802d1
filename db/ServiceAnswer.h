#pragma once

// What the services manager answers to a query for a running service's output. Internal to db/.

#include <cstdint>
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

    // The service has ended and said everything: nothing else counts as its end.
    bool finished() const { return output.empty() && !timedOut && !notReady && !running.value_or(false); }
};

// Reads an answer to the items isc_info_svc_to_eof (or _line) and isc_info_svc_running.
ServiceAnswer parseServiceAnswer(const std::vector<unsigned char>& buffer);

// The size in the service's last line of a backup ("... 98304 bytes written"), if the line has one.
std::optional<std::uint64_t> bytesWrittenIn(const std::string& line);

} // namespace db::detail
