// What others put where the program reads or writes: a link planted as its run log, hotel data
// with control characters in the engine's messages.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
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
// refuses step 3) reaches the logs and the rehearsal's report without a control character: it can
// neither forge a log line nor steer the terminal.
TEST_F(OutsideInput, HotelDataInEngineMessagesLeavesTheProgramWithoutControlCharacters)
{
    const std::string forged = "x' || ascii_char(13) || ascii_char(10) || '9.9.2099 | ZKOUSKA OK' || ascii_char(27) || "
                               "']0;PWNED' || ascii_char(7) || ascii_char(27) || '[1;31m";
    connection.execute("insert into QVT_KONFIG (ITEM, HODNOTACZ) values ('Poznamka', '" + forged + "')");
    connection.execute("create exception TEST_REFUSED 'refused'");
    connection.execute("create trigger TEST_REFUSE_SERVICES for CISSLUZ before update as begin exception TEST_REFUSED "
                       "(select HODNOTACZ from QVT_KONFIG where ITEM = 'Poznamka'); end");
    connection.close();
    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 1) << program.standardError().toStdString();

    const QByteArray report = program.standardOutput().toUtf8() + program.standardError().toUtf8();
    EXPECT_TRUE(report.contains("9.9.2099 | ZKOUSKA OK")) << "the value is shown: " << report.toStdString();
    for (const QString& name : {QStringLiteral("QVTDPH2012.log"), QStringLiteral("QVTDPH2012-zkouska.log")}) {
        QFile file(program.directory() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray written = file.readAll();
        EXPECT_FALSE(written.contains("\n9.9.2099 | ZKOUSKA OK")) << name.toStdString();
        for (const char control : {'\x1b', '\x07'})
            EXPECT_FALSE(written.contains(control) || report.contains(control)) << name.toStdString();
    }
}

} // namespace
