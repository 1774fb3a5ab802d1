// The unattended update with an option for the staying guests, step 7 alone and the stock command
// unattended, and automatic mode whatever the display.

#include "FreshDatabase.h"
#include "InstalledProgram.h"
#include "NightEndState.h"
#include "RecordingView.h"

#include "db/Connection.h"
#include "commands/FullUpdate.h"
#include "commands/StayingGuestsAlone.h"
#include "commands/StockAndBanquets.h"
#include "update/UpdateSession.h"

#include <gtest/gtest.h>

#include <functional>

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

// A window's session on the database, its command run with the option as the operator chose it.
bool runInWindow(const FreshDatabase& database, int option,
                 const std::function<bool(update::UpdateSession&, update::UpdateView&)>& command)
{
    update::UpdateSession session(QString::fromStdString(database.directory().string()));
    session.applySettings({QString::fromStdString(database.path()), QStringLiteral("SYSDBA"), QStringLiteral("m")});
    RecordingView view;
    view.option = option;
    return session.connect() && command(session, view);
}

// `dph2012 --step7 c` and `dph2012 --stock` end where the window's buttons end, after a full
// update that left the staying guests alone; `--step7` without an option it can run exits 64 and
// changes nothing.
TEST(UpdateOption, StepSevenAloneAndTheStockCommandUnattendedEndAsTheWindowsButtons)
{
    using Command = std::function<bool(update::UpdateSession&, update::UpdateView&)>;
    const struct {
        QStringList arguments;
        int status;
        Command inWindow; // empty: nothing is run there
    } cases[] = {
        {{QStringLiteral("--step7"), QStringLiteral("c")}, 0, &update::RunStayingGuestsAlone},
        {{QStringLiteral("--stock")}, 0, &update::UpdateStockAndBanquets},
        {{QStringLiteral("--step7"), QStringLiteral("a")}, 64, {}},
        {{QStringLiteral("--step7")}, 64, {}},
        {{QStringLiteral("--step7"), QStringLiteral("x")}, 64, {}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.arguments.join(QLatin1Char(' ')).toStdString());
        const FreshDatabase unattended(HotelData::Demo), inWindow(HotelData::Demo);
        for (const FreshDatabase* database : {&unattended, &inWindow})
            ASSERT_TRUE(runInWindow(*database, 0, &update::RunFullUpdate));
        const EndState before = endStateOf(unattended);
        if (each.inWindow) {
            ASSERT_TRUE(runInWindow(inWindow, 2, each.inWindow));
        }
        InstalledProgram program;
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(unattended.path()) + "\r\nUser=SYSDBA\r\n");
        EXPECT_EQ(program.run(each.arguments), each.status) << program.standardError().toStdString();
        const EndState after = endStateOf(unattended), expected = endStateOf(inWindow);
        for (const auto& [part, rows] : after)
            EXPECT_EQ(rows, expected.at(part)) << part;
        // A command that had work left did it.
        EXPECT_EQ(after == before, !each.inWindow);
        if (each.status == 64) {
            EXPECT_FALSE(program.hasRunLog());
        }
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
