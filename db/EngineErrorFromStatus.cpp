#include "db/EngineErrorFromStatus.h"

#include <algorithm>
#include <array>

namespace db::detail {

EngineError engineErrorFrom(const Firebird::FbException& exception)
{
    Firebird::IStatus* status = exception.getStatus();
    const ISC_STATUS* errors = status->getErrors();

    const std::uint16_t code = (errors[0] == isc_arg_gds) ? static_cast<std::uint16_t>(errors[1] & 0xFFFF) : 0;
    const std::int32_t sqlcode = static_cast<std::int32_t>(isc_sqlcode(errors));

    // Only the errors: the warnings that every dialect-1 CREATE brings would drown the cause.
    Firebird::IMaster* master = Firebird::fb_get_master_interface();
    Firebird::IStatus* errorsOnly = master->getStatus();
    errorsOnly->setErrors(errors);
    std::array<char, 2048> buffer{};
    // A message that fills the buffer gets no closing NUL: only the length said is text.
    const unsigned length =
        master->getUtilInterface()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), errorsOnly);
    errorsOnly->dispose();
    std::string message(buffer.data(), std::min<std::size_t>(length, buffer.size()));
    message.resize(std::min(message.size(), message.find('\0')));
    for (char& c : message)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!message.empty() && message.back() == ' ')
        message.pop_back();
    return EngineError(code, sqlcode, message);
}

} // namespace db::detail
