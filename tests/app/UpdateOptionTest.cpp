// The unattended update with an option for the staying guests, and automatic mode whatever the
// display.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"
#include "RecordingView.h"

#include "db/Connection.h"
#include "commands/FullUpdate.h"
#include "update/UpdateSession.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

EndState endStateOf(const FreshDatabase& database)
{
    db::Connection connection;
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
    return nightEndState(connection);
}

// `dph2012 --update b` (c, d) ends where the window's "Spusť aktualizaci" with the same option ends.
TEST(UpdateOption, EndsAsTheWindowsFullUpdateWithTheSameOption)
{
    for (const int option : {1, 2, 3}) {
        const QString letter(QLatin1Char(static_cast<char>('a' + option)));
        SCOPED_TRACE(letter.toStdString());
        const FreshDatabase unattended(HotelData::Demo), inWindow(HotelData::Demo);
        InstalledProgram program;
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(unattended.path()) + "\r\nUser=SYSDBA\r\n");
        ASSERT_EQ(program.run({QStringLiteral("--update"), letter}), 0) << program.standardError().toStdString();
        {
            update::UpdateSession session(QString::fromStdString(inWindow.directory().string()));
            session.applySettings({QString::fromStdString(inWindow.path()), QStringLiteral("SYSDBA"), QStringLiteral("m")});
            RecordingView view;
            view.option = option;
            ASSERT_TRUE(session.connect());
            ASSERT_TRUE(update::RunFullUpdate(session, view));
        }
        const EndState expected = endStateOf(inWindow);
        for (const auto& [part, rows] : endStateOf(unattended))
            EXPECT_EQ(rows, expected.at(part)) << part;
    }
}

// What the unattended run can only say on standard error: the settings notice, where a platform
// would show a box (even one that cannot: no X server), and that another program has the
// embedded database open. Neither waits for anyone.
TEST(UpdateOption, AutomaticModeSaysOnStandardErrorWhatAWindowWouldShow)
{
    const struct {
        const char* name;
        bool heldByAnotherProgram;
        int status;
        const char* said;
    } cases[] = {
        {"the settings notice under xcb", false, 0, "AliasName = "},
        {"the database open elsewhere", true, 3,
         "the database is open in another program (the hotel system, or dph2012's window): close it first."},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const FreshDatabase database(HotelData::Demo);
        db::Connection otherProgram;
        otherProgram.setDatabase(database.path());
        otherProgram.setUser("SYSDBA");
        if (each.heldByAnotherProgram)
            otherProgram.open();
        InstalledProgram program;
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\nBackup="
                                  + QByteArray::fromStdString((database.directory() / "hotel.fbk").string()) + "\r\n");
        program.start({QStringLiteral("x")}, QStringLiteral("xcb"));
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), each.status) << program.standardError().toStdString();
        EXPECT_TRUE(program.standardError().contains(QString::fromUtf8(each.said))) << program.standardError().toStdString();
    }
}

} // namespace
