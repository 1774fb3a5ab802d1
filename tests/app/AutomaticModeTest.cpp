// Automatic mode run inside this process, which has no widget toolkit at all: had it made a
// window, a widget or a dialog, the process would abort. What the window would show goes to
// standard error, and the run log says it ran unattended.

#include "FreshDatabase.h"
#include "RunLogEntries.h"

#include "app/AutomaticRun.h"
#include "app/TerminalView.h"
#include "db/Connection.h"
#include "update/CommandGuard.h"
#include "update/UpdateSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

#include <gtest/gtest.h>

namespace {

class AutomaticModeInProcess : public testing::Test {
protected:
    int run(const QString& alias, bool* mustEndAtOnce = nullptr, const app::EngineEnd& end = &app::endWithinTenSeconds)
    {
        QFile file(dir.filePath(QStringLiteral("DPH.ini")));
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write DPH.ini");
        file.write("[Params]\r\nAlias=" + alias.toUtf8() + "\r\nUser=SYSDBA\r\nPassword=heslo42\r\n");
        file.close();
        return app::runAutomatic(dir.path(), [this](const QString& notice) { notices.append(notice); }, [] { return 0; },
                                 0, mustEndAtOnce, end);
    }
    QStringList log() const { return testsupport::runLogEntries(dir.filePath(QStringLiteral("QVTDPH2012.log"))); }

    QTemporaryDir dir;
    QStringList notices;
};

TEST_F(AutomaticModeInProcess, FullUpdateShowsOnlyTheSettingsNoticeAndSaysSoInTheLog)
{
    const testsupport::FreshDatabase database;
    const QString alias = QString::fromStdString(database.path());
    EXPECT_EQ(run(alias), 0);
    EXPECT_EQ(notices, QStringList{QStringLiteral("AliasName = ") + alias
                                   + QStringLiteral("\n\rUser name = SYSDBA\n\rPassword = *****")});
    const QStringList entries = log();
    ASSERT_GE(entries.size(), 4);
    EXPECT_EQ(entries.mid(1, 3), (QStringList{QStringLiteral("SPUSTENI AKT.  | "), QStringLiteral("               | Automaticky mod"),
                                              QStringLiteral("KROK 1         | ")}));
    EXPECT_TRUE(entries.contains(QStringLiteral("     volba a   | "))) << "nobody chose another option";
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
}

TEST_F(AutomaticModeInProcess, OtherAttachmentsGoToTheLogAndStandardErrorAndTheUpdateGoesOn)
{
    const testsupport::FreshDatabase database;
    db::Connection other;
    other.setDatabase(database.path());
    other.setUser("SYSDBA");
    other.open();
    testing::internal::CaptureStderr();
    EXPECT_EQ(run(QString::fromStdString(database.path())), 0);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("dph2012: Pripojeno dalsich: 1 (SYSDBA@lokalne)\n"), std::string::npos) << written;
    const QStringList entries = log();
    ASSERT_GE(entries.size(), 5);
    EXPECT_EQ(entries[3], QStringLiteral("               | Pripojeno dalsich: 1 (SYSDBA@lokalne)"));
    EXPECT_EQ(entries[4], QStringLiteral("KROK 1         | "));
}

// An error that ends a command, and a refusal, are said on standard error in English.
TEST(TerminalView, AnErrorThatEndsACommandAndARefusalGoToStandardError)
{
    const QTemporaryDir dir;
    update::UpdateSession session(dir.path());
    app::TerminalView view;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(update::runRecoveringFromErrors(
        session, view, [] { throw std::runtime_error("the disk is full"); }, [] {}));
    view.showRefusal({QString::fromUtf8("Běží jiná"), QStringLiteral("another runs")});
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "dph2012: the update ended with an error: the disk is full\ndph2012: another runs\n");
    EXPECT_EQ(session.commandsEndedByError(), 1);
}

// The engine does not return from the final detach in time: the run still ends with its own
// status, the log says why, and the process is told to end without waiting for the engine.
TEST_F(AutomaticModeInProcess, AFinalDetachThatDoesNotReturnInTimeStillEndsTheRunWithItsStatus)
{
    const testsupport::FreshDatabase database;
    bool mustEndAtOnce = false;
    const auto engineThatHangs = [](db::Connection& connection) {
        connection.close();
        return false;
    };
    EXPECT_EQ(run(QString::fromStdString(database.path()), &mustEndAtOnce, engineThatHangs), 0);
    EXPECT_TRUE(mustEndAtOnce);
    const QStringList entries = log();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries.at(entries.size() - 2), QStringLiteral("KONEC          | "));
    EXPECT_TRUE(entries.last().startsWith(QStringLiteral("               | Jadro databaze po 10 s neukoncilo odpojeni")))
        << entries.last().toStdString();
}

} // namespace
