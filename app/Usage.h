#pragma once

#include <string_view>

namespace app {

// For -h, --help, -? and /? prints the usage, for --version the version, to standard output,
// and returns true: the program then ends without connecting. False for any other argument.
bool answerHelpRequest(std::string_view argument);

} // namespace app
