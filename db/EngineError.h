#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace db {

// A statement or connection failure reported by the Firebird engine: the three values that the
// run log records. Anything else that goes wrong in this layer is a db::Error.
class EngineError : public std::runtime_error {
public:
    EngineError(std::uint16_t errorCode, std::int32_t nativeError, const std::string& message)
        : std::runtime_error(message), errorCode_(errorCode), nativeError_(nativeError), message_(message) {}

    // The Firebird status code's number within its facility (its low 16 bits).
    std::uint16_t errorCode() const { return errorCode_; }
    // The SQLCODE, e.g. -204 for an unknown table.
    std::int32_t nativeError() const { return nativeError_; }
    // The formatted status vector, its line breaks joined by blanks.
    const std::string& message() const { return message_; }

private:
    std::uint16_t errorCode_;
    std::int32_t nativeError_;
    std::string message_;
};

// A failure of this layer that the engine did not report: client library missing, a value that
// is not a number, a field that does not exist.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace db
