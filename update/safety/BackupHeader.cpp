#include "update/safety/BackupHeader.h"

namespace update {

namespace {

// A backup begins with its own record: attributes of one byte's kind and one byte's length up to
// a kind 0. Kind 2 is the backup's format, kind 7 the database's file name.
constexpr char kBackupRecord = 0;
constexpr unsigned char kFormat = 2;
constexpr unsigned char kDatabaseFile = 7;

} // namespace

std::optional<QString> backedUpDatabaseIn(const QByteArray& head)
{
    if (head.isEmpty() || head[0] != kBackupRecord)
        return std::nullopt;
    bool formatSeen = false;
    std::optional<QString> database;
    for (qsizetype at = 1; at + 1 < head.size();) {
        const auto kind = static_cast<unsigned char>(head[at]);
        if (kind == 0)
            return formatSeen ? database : std::nullopt;
        const auto length = static_cast<unsigned char>(head[at + 1]);
        if (at + 2 + length > head.size())
            return std::nullopt;
        if (kind == kFormat)
            formatSeen = length == 4;
        else if (kind == kDatabaseFile && length > 0)
            database = QString::fromUtf8(head.mid(at + 2, length));
        at += 2 + length;
    }
    return std::nullopt;
}

} // namespace update
