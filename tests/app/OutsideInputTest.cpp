// What others put where the program reads or writes: a link planted as its run log, hotel data
// with control characters in the engine's messages.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class OutsideInput : public testing::Test {
protected:
    OutsideInput()
    {
        const QByteArray directory = QByteArray::fromStdString(database.directory().string());
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + directory + "/hotel.fbk\r\n");
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }

    QString log() const { return program.directory() + QStringLiteral("/QVTDPH2012.log"); }

    FreshDatabase database{HotelData::Demo};
    InstalledProgram program;
    db::Connection connection;
};

mode_t modeOf(const QString& path)
{
    struct stat file {};
    return ::lstat(QFile::encodeName(path).constData(), &file) == 0 ? file.st_mode & 0777 : 0;
}

// The run log is never written through a link, nor into a file with another name as well; one the
// program makes, or finds readable by others, is its owner's alone. The run goes on and says once
// that the log could not be written.
TEST_F(OutsideInput, TheRunLogIsWrittenOnlyIntoAPlainFileOfItsOwnReadableByItsOwnerAlone)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("someone-elses.txt"));
    const struct {
        const char* name;
        std::function<void()> plant;
        bool written;
    } cases[] = {
        {"a symbolic link", [&] { QFile::link(target, log()); }, false},
        {"a second name of another file", [&] { ::link(QFile::encodeName(target).constData(), QFile::encodeName(log()).constData()); },
         false},
        {"an older log readable by everyone", [&] {
             QFile file(log());
             file.open(QIODevice::WriteOnly);
             file.write("older entries\r\n");
             file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
         },
         true},
        {"no log yet", [] {}, true},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        QFile::remove(log());
        {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("untouched\n");
        }
        each.plant();
        connection.close();
        const qsizetype toldBefore = program.standardError().count(QStringLiteral("the run log"));
        ASSERT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("untouched\n"));
        EXPECT_EQ(program.standardError().count(QStringLiteral("the run log")) - toldBefore, each.written ? 0 : 1)
            << program.standardError().toStdString();
        if (each.written) {
            EXPECT_EQ(modeOf(log()), 0600u);
            QFile written(log());
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            EXPECT_TRUE(written.readAll().contains("KONEC          | "));
        }
    }
}

// A value of the hotel's quoted in an engine message (here by a trigger of the hotel's that
// refuses step 3) leaves the program without a control character on every way out: the logs, the
// rehearsal's report, the night's protocol and `--protocol`. Neither a line break nor an escape
// sequence can forge a log line or steer the terminal, and no bidirectional control can make a
// line read otherwise than it is written.
TEST_F(OutsideInput, HotelDataInEngineMessagesLeavesTheProgramWithoutControlCharacters)
{
    const struct {
        const char* name;
        std::string forged; // an SQL expression
        QByteArray shown;   // what of it stands in the output
        std::vector<QByteArray> controls;
    } cases[] = {
        {"line breaks and escape sequences",
         "'x' || ascii_char(13) || ascii_char(10) || '9.9.2099 | ZKOUSKA OK' || ascii_char(27) || ']0;PWNED' || "
         "ascii_char(7) || ascii_char(27) || '[1;31m'",
         "9.9.2099 | ZKOUSKA OK", {"\n9.9.2099 | ZKOUSKA OK", "\x1b", "\x07"}},
        {"bidirectional controls",
         "'Host \u202Ekov\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069\u200E\u200F\u061C ucet'",
         "Host ?kov", {"\u202A", "\u202B", "\u202C", "\u202D", "\u202E", "\u2066", "\u2067", "\u2068", "\u2069",
                       "\u200E", "\u200F", "\u061C"}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const FreshDatabase hotel(HotelData::Demo);
        InstalledProgram night;
        night.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(hotel.path()) + "\r\nUser=SYSDBA\r\nBackup="
                                + QByteArray::fromStdString(hotel.directory().string()) + "/hotel.fbk\r\n");
        {
            db::Connection hotelConnection;
            hotelConnection.setDatabase(hotel.path());
            hotelConnection.setUser("SYSDBA");
            // A note of the hotel's in Unicode, as a guest's name may be.
            hotelConnection.execute("create table TEST_NOTE (TXT varchar(200) character set UTF8)");
            hotelConnection.execute("insert into TEST_NOTE (TXT) values (" + each.forged + ")");
            hotelConnection.execute("create exception TEST_REFUSED 'refused'");
            hotelConnection.execute("create trigger TEST_REFUSE_SERVICES for CISSLUZ before update as begin exception "
                                    "TEST_REFUSED (select TXT from TEST_NOTE); end");
        }
        EXPECT_EQ(night.run({QStringLiteral("--rehearse")}), 1) << night.standardError().toStdString();
        QByteArray written = night.standardOutput().toUtf8() + night.standardError().toUtf8();
        EXPECT_TRUE(written.contains(each.shown)) << "the value is shown: " << written.toStdString();
        EXPECT_EQ(night.run({QStringLiteral("x")}), 2) << night.standardError().toStdString();
        written += night.standardError().toUtf8();
        ASSERT_EQ(night.run({QStringLiteral("--protocol")}), 0) << night.standardError().toStdString();
        const QByteArray printed = night.standardOutput().toUtf8();
        EXPECT_TRUE(printed.contains(each.shown)) << "the protocol names the value: " << printed.toStdString();
        written += printed;
        QStringList files = {QStringLiteral("QVTDPH2012.log"), QStringLiteral("QVTDPH2012-zkouska.log")};
        files += QDir(night.directory()).entryList({QStringLiteral("QVTDPH2012-protokol-*.txt")}, QDir::Files);
        EXPECT_EQ(files.size(), 4) << files.join(' ').toStdString();
        for (const QString& name : files) {
            QFile file(night.directory() + QLatin1Char('/') + name);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            written += file.readAll();
        }
        for (const QByteArray& control : each.controls)
            EXPECT_FALSE(written.contains(control)) << control.toHex().toStdString();
    }
}

} // namespace
