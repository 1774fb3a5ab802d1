#include "db/FieldReader.h"

#include "db/EngineError.h"
#include "db/FirebirdHandles.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace db::detail {

namespace {

std::string scaledInteger(std::int64_t value, int scale)
{
    if (scale >= 0) {
        std::string text = std::to_string(value);
        if (value != 0)
            text.append(static_cast<std::size_t>(scale), '0');
        return text;
    }
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    const std::size_t decimals = static_cast<std::size_t>(-scale);
    if (digits.size() <= decimals)
        digits.insert(0, decimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - decimals, 1, '.');
    return negative ? "-" + digits : digits;
}

std::string floating(double value, int significantDigits)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", significantDigits, value);
    return buffer;
}

std::string dateText(ISC_DATE date)
{
    unsigned year = 0, month = 0, day = 0;
    Firebird::fb_get_master_interface()->getUtilInterface()->decodeDate(date, &year, &month, &day);
    return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
}

std::string timeText(ISC_TIME time)
{
    unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
    Firebird::fb_get_master_interface()->getUtilInterface()->decodeTime(time, &hours, &minutes, &seconds, &fractions);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%u:%02u:%02u", hours, minutes, seconds);
    return buffer;
}

std::string blobText(const ISC_QUAD& id, Firebird::IAttachment* attachment, Firebird::ITransaction* transaction)
{
    Status status;
    ISC_QUAD blobId = id;
    Ref<Firebird::IBlob> blob(attachment->openBlob(&status, transaction, &blobId, 0, nullptr));
    std::string text;
    char segment[8192];
    for (;;) {
        unsigned length = 0;
        const int result = blob->getSegment(&status, sizeof segment, segment, &length);
        if (result != Firebird::IStatus::RESULT_OK && result != Firebird::IStatus::RESULT_SEGMENT)
            break;
        text.append(segment, length);
    }
    blob->close(&status);
    blob.release(); // close() released it
    return text;
}

template <class T>
T read(const unsigned char* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

std::optional<std::string> fieldText(Firebird::IMessageMetadata* metadata, unsigned index,
                                     const unsigned char* message, Firebird::IAttachment* attachment,
                                     Firebird::ITransaction* transaction)
{
    Status status;
    if (read<short>(message + metadata->getNullOffset(&status, index)) != 0)
        return std::nullopt;

    const unsigned char* data = message + metadata->getOffset(&status, index);
    const unsigned type = metadata->getType(&status, index) & ~1u;
    const int scale = metadata->getScale(&status, index);
    switch (type) {
    case SQL_TEXT: {
        std::string text(reinterpret_cast<const char*>(data), metadata->getLength(&status, index));
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    }
    case SQL_VARYING:
        return std::string(reinterpret_cast<const char*>(data) + 2, read<std::uint16_t>(data));
    case SQL_SHORT:
        return scaledInteger(read<std::int16_t>(data), scale);
    case SQL_LONG:
        return scaledInteger(read<std::int32_t>(data), scale);
    case SQL_INT64:
        return scaledInteger(read<std::int64_t>(data), scale);
    case SQL_FLOAT:
        return floating(read<float>(data), 7);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return floating(read<double>(data), 15);
    case SQL_TYPE_DATE:
        return dateText(read<ISC_DATE>(data));
    case SQL_TYPE_TIME:
        return timeText(read<ISC_TIME>(data));
    case SQL_TIMESTAMP: {
        const auto stamp = read<ISC_TIMESTAMP>(data);
        std::string text = dateText(stamp.timestamp_date);
        if (stamp.timestamp_time != 0)
            text += " " + timeText(stamp.timestamp_time);
        return text;
    }
    case SQL_BOOLEAN:
        return std::string(*data ? "True" : "False");
    case SQL_BLOB:
        return blobText(read<ISC_QUAD>(data), attachment, transaction);
    case SQL_NULL:
        return std::nullopt;
    default:
        throw Error("unsupported field type " + std::to_string(type));
    }
}

} // namespace db::detail
