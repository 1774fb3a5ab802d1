// Reading DPH.ini and the notice for a non-default alias.

#include "update/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    update::ConnectionSettings loadFrom(const QByteArray& content)
    {
        QFile file(dir.filePath(QStringLiteral("DPH.ini")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        return update::LoadSettings(dir.path()).connection;
    }

    QTemporaryDir dir;
};

TEST_F(SettingsTest, MissingFileGivesDefaultsAndNoNotice)
{
    const update::Settings all = update::LoadSettings(dir.path());
    EXPECT_TRUE(all.backupFile.isEmpty());
    const update::ConnectionSettings& settings = all.connection;
    EXPECT_EQ(settings.alias, "QVT");
    EXPECT_EQ(settings.user, "SYSDBA");
    EXPECT_EQ(settings.password, update::kBuiltInPassword);
    EXPECT_EQ(update::kBuiltInPassword.size(), 1);
    EXPECT_TRUE(update::SettingsNotice(settings).isEmpty());
}

TEST_F(SettingsTest, ConnectTimeoutIsWholeSecondsOtherwiseFifteen)
{
    const std::vector<std::pair<QByteArray, unsigned>> cases = {
        {"[Params]\r\nAlias=QVT\r\n", 15}, {"[Params]\r\nConnectTimeout=4\r\n", 4},
        {"[Params]\r\nconnecttimeout = 40 \r\n", 40}, {"[Params]\r\nConnectTimeout=abc\r\n", 15},
        {"[Params]\r\nConnectTimeout=-3\r\n", 15}, {"[Other]\r\nConnectTimeout=4\r\n", 15},
    };
    for (const auto& [content, seconds] : cases)
        EXPECT_EQ(loadFrom(content).connectTimeout, seconds) << content.toStdString();
}

TEST_F(SettingsTest, GarbageFileGivesDefaults)
{
    auto settings = loadFrom(QByteArray("\x00\x01\xff\xfe\x80garbage=\n[[[\n=\n", 20));
    EXPECT_EQ(settings.alias, "QVT");
    EXPECT_EQ(settings.user, "SYSDBA");
    EXPECT_EQ(settings.password, update::kBuiltInPassword);

    settings = loadFrom("");
    EXPECT_EQ(settings.user, "SYSDBA");
}

TEST_F(SettingsTest, ValuesArriveWholeWithWindowsReaderSemantics)
{
    const auto settings = loadFrom("; hotel connection\r\n"
                                   "[other]\r\nAlias=wrong\r\n"
                                   " [ params ] \r\n"
                                   "  ALIAS =  hotelserver:C:\\Firebird\\data\\hotel.fdb  \r\n"
                                   "user=\"  sysdba \"\r\n"
                                   "Password=ab,cd;e%PATH%f\\g\r\n"
                                   "Password=second one is ignored\r\n");
    EXPECT_EQ(settings.alias, "hotelserver:C:\\Firebird\\data\\hotel.fdb");
    EXPECT_EQ(settings.user, "  sysdba ");
    EXPECT_EQ(settings.password, "ab,cd;e%PATH%f\\g");
}

TEST_F(SettingsTest, PresentButEmptyValueIsAnEmptySetting)
{
    const auto settings = loadFrom("[Params]\nAlias=\nUser=\nPassword=\n");
    EXPECT_EQ(settings.alias, "");
    EXPECT_EQ(settings.user, "");
    EXPECT_EQ(settings.password, "");
    // An empty alias differs from the default, so the operator is told.
    EXPECT_FALSE(update::SettingsNotice(settings).isEmpty());
}

TEST_F(SettingsTest, OnlyPasswordSetKeepsDefaultAliasAndNoNotice)
{
    const auto settings = loadFrom("[Params]\nPassword=tajne\n");
    EXPECT_EQ(settings.alias, "QVT");
    EXPECT_EQ(settings.password, "tajne");
    EXPECT_TRUE(update::SettingsNotice(settings).isEmpty());
}

TEST_F(SettingsTest, EncodingsAreRecognised)
{
    // "heslořž" in Windows-1250, then in UTF-8 with a BOM.
    auto settings = loadFrom("[Params]\r\nPassword=heslo\xF8\x9E\r\n");
    EXPECT_EQ(settings.password, QString::fromUtf8("heslořž"));
    settings = loadFrom("\xEF\xBB\xBF[Params]\nPassword=heslo\xC5\x99\xC5\xBE\n");
    EXPECT_EQ(settings.password, QString::fromUtf8("heslořž"));
}

TEST_F(SettingsTest, OneMatchingPairOfEitherQuoteIsRemoved)
{
    const std::pair<const char*, const char*> cases[] = {
        {"'abc'", "abc"}, {"\"abc\"", "abc"}, {"''abc''", "'abc'"}, {"'abc\"", "'abc\""}, {"'a'b'", "a'b"},
        {"'", "'"},       {"''", ""},           {"it's", "it's"},     {"  ' padded '  ", " padded "},
    };
    for (const auto& [written, read] : cases)
        EXPECT_EQ(loadFrom(QByteArray("[Params]\nPassword=") + written + "\n").password, QString::fromUtf8(read)) << written;
}

TEST(SettingsNotice, AliasComparedCaseSensitivelyAndPasswordMaskedWithoutItsLength)
{
    for (const auto& [password, shown] : {std::pair{"s3cr3t", "*****"}, {"m", "*****"}, {"a long pass phrase", "*****"}, {"", ""}})
        EXPECT_EQ(update::SettingsNotice({QStringLiteral("qvt"), QStringLiteral("KALMOR"), QString::fromUtf8(password)}),
                  QStringLiteral("AliasName = qvt\n\rUser name = KALMOR\n\rPassword = ") + QString::fromUtf8(shown))
            << password;
}

} // namespace
