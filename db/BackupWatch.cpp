#include "db/BackupWatch.h"

#include "db/ResultSet.h"

#include <algorithm>

namespace db::detail {

BackupWatch::BackupWatch(const std::string& database, const ServiceLogin& login)
{
    connection_.setDatabase(database);
    connection_.setUser(login.user);
    connection_.setPassword(login.password);
    connection_.setConnectTimeout(login.connectTimeout);
    connection_.open();
}

void BackupWatch::noteOthers()
{
    before_ = candidates();
}

void BackupWatch::identify()
{
    if (gbak_ || ambiguous_)
        return;
    std::vector<std::int64_t> fresh;
    for (const std::int64_t id : candidates())
        if (std::find(before_.begin(), before_.end(), id) == before_.end())
            fresh.push_back(id);
    if (fresh.size() == 1)
        gbak_ = fresh.front();
    ambiguous_ = fresh.size() > 1;
}

void BackupWatch::stopServiceAttachment()
{
    if (gbak_)
        connection_.execute("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " + std::to_string(*gbak_));
}

std::vector<std::int64_t> BackupWatch::candidates()
{
    std::vector<std::int64_t> ids;
    for (ResultSet rows = connection_.select(
             "select MON$ATTACHMENT_ID from MON$ATTACHMENTS where MON$ATTACHMENT_ID > CURRENT_CONNECTION "
             "and MON$SYSTEM_FLAG = 0 and MON$USER = CURRENT_USER and MON$GARBAGE_COLLECTION = 0 "
             "and MON$REMOTE_PID is null and MON$REMOTE_PROCESS is null");
         !rows.eof(); rows.next())
        ids.push_back(rows.integer(0));
    return ids;
}

void watchBackupOf(std::optional<BackupWatch>& watch, const std::string& database, const ServiceLogin& login)
{
    try {
        watch.emplace(database, login);
        watch->noteOthers();
    } catch (const std::exception&) {
        watch.reset();
    }
}

} // namespace db::detail
