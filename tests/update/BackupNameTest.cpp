// The name a backup is written under: never one that exists.

#include "update/DatabaseBackup.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(BackupName, InsertsTheDateAndTimeBeforeTheExtensionOnlyWhenTheNameIsTaken)
{
    const QDateTime now(QDate(2011, 12, 31), QTime(23, 5, 42));
    struct Case {
        const char* wanted;
        QSet<QString> existing;
        const char* expected;
    };
    const Case cases[] = {
        {"/backup/hotel.fbk", {}, "/backup/hotel.fbk"},
        {"/backup/hotel.fbk", {"/backup/hotel.fbk"}, "/backup/hotel-20111231-2305.fbk"},
        {"/backup/hotel.fbk", {"/backup/hotel.fbk", "/backup/hotel-20111231-2305.fbk"},
         "/backup/hotel-20111231-230542.fbk"},
        {"/backup/hotel.fbk",
         {"/backup/hotel.fbk", "/backup/hotel-20111231-2305.fbk", "/backup/hotel-20111231-230542.fbk"},
         "/backup/hotel-20111231-230542-2.fbk"},
        {"/backup/hotel", {"/backup/hotel"}, "/backup/hotel-20111231-2305"},
        {"/data.d/hotel", {"/data.d/hotel"}, "/data.d/hotel-20111231-2305"},
        {"C:\\Zaloha.2011\\hotel.fbk", {"C:\\Zaloha.2011\\hotel.fbk"}, "C:\\Zaloha.2011\\hotel-20111231-2305.fbk"},
        {"/backup/hotel.2011.fbk", {"/backup/hotel.2011.fbk"}, "/backup/hotel.2011-20111231-2305.fbk"},
    };
    for (const Case& c : cases) {
        const QString name = update::freeBackupName(QString::fromUtf8(c.wanted), now,
                                                    [&](const QString& path) { return c.existing.contains(path); });
        EXPECT_EQ(name.toStdString(), c.expected) << c.wanted;
    }
}

} // namespace
