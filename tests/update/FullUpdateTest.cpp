// The full update's order of work as the window sees it, on the demo hotel.

#include "CommandFixture.h"

#include "commands/FullUpdate.h"
#include "update/ServerScripts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class FullUpdateTest : public testsupport::CommandTest {};

QStringList stepEvents(int step, bool repaint = true)
{
    QStringList events = {QStringLiteral("step %1").arg(step)};
    if (repaint)
        events.append(QStringLiteral("messages"));
    events.append(QStringLiteral("progress %1").arg(step));
    return events;
}

TEST_F(FullUpdateTest, OpensWithButtonsOffAndBothRemindersBeforeAnyStatementThenTicksOffEachStep)
{
    QStringList entriesAtReminders;
    view.onEvent = [&](const QString& event) {
        if (event.startsWith(QStringLiteral("info 1")) || event.startsWith(QStringLiteral("info 2")))
            entriesAtReminders.append(entries().join(QLatin1Char('/')));
    };
    EXPECT_TRUE(update::RunFullUpdate(session, view));

    QStringList expected = {"disable RunAll", "disable Step7", "disable Close", "disable Stock",
                            "info 1",         "info 2",        "maximum 8",     "indicator on"};
    for (int step = 1; step <= 8; ++step)
        // Step 7 with option a goes through no group, so it adds no repaint of its own.
        expected += stepEvents(step);
    expected += QStringList{"indicator off", "info 3", "update done", "enable RunAll", "enable Step7", "enable Close"};
    EXPECT_EQ(view.events, expected);
    EXPECT_FALSE(view.enabled.at(update::CommandButton::Stock));

    const QString opening = QString(63, QLatin1Char('-')) + QStringLiteral("/SPUSTENI AKT.  | ");
    EXPECT_EQ(entriesAtReminders, (QStringList{opening, opening}));
    EXPECT_EQ(entries().last(), QStringLiteral("KONEC          | "));
    EXPECT_EQ(session.runner().failureCount(), 0);
    EXPECT_EQ(session.commandsEndedByError(), 0);
}

TEST_F(FullUpdateTest, StaysInTheOptionChosenForStep7)
{
    view.option = 1;
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    const QStringList written = entries();
    const int step7 = written.indexOf(QStringLiteral("KROK 7         | "));
    ASSERT_GE(step7, 0);
    EXPECT_EQ(written.mid(step7, 3),
              (QStringList{QStringLiteral("KROK 7         | "), QStringLiteral("     volba b   | "),
                           QStringLiteral("EXEC SQL       | execute procedure REC_DPH_DeleniPobytu(501,\"31.12.2011\")")}));
    EXPECT_EQ(view.eventsStartingWith(QStringLiteral("messages")).size(), 8 + 4) << "one repaint per step and per group";
    EXPECT_EQ(session.runner().failureCount(), 0) << "step 7 calls what step 6 installed";
    // Five stays split; the cancelled reservation 1011 is left whole.
    EXPECT_EQ(value("select count(*) from REC_MM_REZERVACE where DatumOdjezd = '31.12.2011'"), "5");
}

TEST_F(FullUpdateTest, RunningAgainRepeatsEverythingAndAddsTheRateOnlyOnce)
{
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    view.events.clear();
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_EQ(view.eventsStartingWith(QStringLiteral("step ")).size(), 8);
    EXPECT_EQ(entriesStartingWith(QString(63, QLatin1Char('-'))).size(), 2);
    EXPECT_EQ(entriesStartingWith(QStringLiteral("KROK 2         | Sazba 14% jiz existuje.")).size(), 1);
    EXPECT_EQ(value("select count(*) from fbs_vat where vat_rate = 14"), "1");
    EXPECT_EQ(session.runner().failureCount(), 0) << "the objects install over themselves";
}

// The five server-side texts are read when the session is made and held for the whole run.
class ServerScriptsAtStart : public testsupport::CommandTest {
protected:
    ServerScriptsAtStart() : CommandTest(testsupport::HotelData::Base) {}

    // The program's own texts in a directory of the test's own, one of them replaced when named.
    QString textsWith(const QString& replaced = {}, const char* text = nullptr) const
    {
        for (const update::ServerScript& script : update::ServerScripts()) {
            QFile file(texts.filePath(script.name + QStringLiteral(".sql")));
            if (script.name == replaced && !text)
                file.remove();
            else if (file.open(QIODevice::WriteOnly))
                file.write(script.name == replaced ? QByteArray(text) : script.statement().toUtf8());
        }
        return texts.path();
    }

    QTemporaryDir texts;
};

TEST_F(ServerScriptsAtStart, AMissingOrEmptyTextEndsStartUpNamingItBeforeAnythingIsSent)
{
    for (const update::ServerScript& script : update::ServerScripts())
        for (const char* text : {static_cast<const char*>(nullptr), "", " \r\n\t\r\n"}) {
            const QString directory = textsWith(script.name, text);
            try {
                const update::UpdateSession refused(session.programDir(), &update::RunLog::systemClock, directory);
                ADD_FAILURE() << script.name.toStdString() << ": the session was made";
            } catch (const update::MissingServerScript& error) {
                EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains(script.name)) << error.what();
                EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains(QLatin1String(text ? "empty" : "missing"))) << error.what();
            }
        }
    EXPECT_FALSE(QFile::exists(session.log().filePath())) << "nothing was logged, so nothing was sent";
}

TEST_F(ServerScriptsAtStart, TheFullUpdateInstallsTheTextsReadAtStartEvenWhenTheirSourceIsGone)
{
    update::UpdateSession held(session.programDir(), &update::RunLog::systemClock, textsWith());
    held.applySettings(session.settings());
    ASSERT_TRUE(QDir(texts.path()).removeRecursively());
    ASSERT_TRUE(update::RunFullUpdate(held, view));
    EXPECT_EQ(held.runner().failureCount(), 0);
    for (const update::ServerScript& script : update::ServerScripts())
        EXPECT_EQ(entriesStartingWith(QStringLiteral("EXEC SQL       | ") + script.statement().trimmed()).size(), 1);
}

} // namespace
