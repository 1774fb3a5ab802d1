#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace app {

// For -h, --help, -? and /? prints the usage, for --version the version, to standard output,
// and returns true: the program then ends without connecting. False for any other argument.
bool answerHelpRequest(std::string_view argument);

// An argument that begins with "--" and is none of this program's: a typo must not start the
// update. Prints the usage to standard error and returns true; the program then ends with
// kUnknownArgumentStatus without reading DPH.ini or connecting.
bool refuseUnknownOption(std::string_view argument);

// The option for staying guests after --update, --rehearse or --step7: "" or "a" to "d" as 0 to 3
// (without `optionA`, after --step7, only "b" to "d"); for anything else the usage goes to
// standard error and nothing is returned.
std::optional<int> stayingGuestsOptionArgument(std::string_view argument, bool optionA = true);

// Says what is wrong and prints the usage, both to standard error.
void printUsageForMistake(const std::string& mistake);

// The exit status for an unknown argument (EX_USAGE).
inline constexpr int kUnknownArgumentStatus = 64;

} // namespace app
