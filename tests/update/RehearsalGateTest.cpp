// Under Rehearsal=1 the real run goes only where the rehearsal proved the way: a backup that was
// made and restored, and the option that was rehearsed (a backup that holds what others commit
// meanwhile is proved through the server).

#include "CommandFixture.h"

#include "commands/FullUpdate.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class RehearsalGate : public testsupport::CommandTest {
protected:
    RehearsalGate() { session.setRehearsalWanted(true); }

    QString inDirectory(const char* name) const
    {
        return QString::fromStdString((database.directory() / name).string());
    }
};

// Whatever the operator would answer, a rehearsal that proved no backup lets nothing run.
TEST_F(RehearsalGate, NoBackupOrOneThatCouldNotBeMadeRefusesTheRunWhateverTheAnswer)
{
    const struct {
        const char* name;
        QString backup;
        const char* why;
    } cases[] = {
        {"no Backup= at all", QString(), "zkouska potrebuje zalohu"},
        {"a folder that does not exist", QStringLiteral("/nonexistent-dph2012/hotel.fbk"), "zaloha se nezdarila"},
    };
    view.goOnAfterRehearsal = true;
    for (const auto& [name, backup, why] : cases) {
        SCOPED_TRACE(name);
        session.setBackupFile(backup);
        view.events.clear();
        EXPECT_FALSE(update::RunFullUpdate(session, view));
        EXPECT_TRUE(view.rehearsals.empty()) << "there is no way on to offer";
        const QStringList errors = view.eventsStartingWith(QStringLiteral("error "));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(QLatin1String(why))) << errors[0].toStdString();
        EXPECT_TRUE(entriesStartingWith(QStringLiteral("KROK 1")).isEmpty());
        EXPECT_EQ(value("select count(*) from pos_taxes where percentage = 10"), "2");
        EXPECT_TRUE(view.enabled.at(update::CommandButton::RunAll));
    }
    EXPECT_EQ(session.commandsRefused(), 2);
}

// Someone committed after the rehearsal's backup began: the real run needs a new backup first, and
// when that one fails nothing runs, whatever the rehearsal proved.
TEST_F(RehearsalGate, ANewBackupBeforeStepOneThatFailsRefusesTheRun)
{
    session.setBackupFile(inDirectory("hotel.fbk"));
    view.goOnAfterRehearsal = true;
    view.onEvent = [this](const QString& event) {
        if (event != QStringLiteral("rehearsal ended"))
            return;
        exec("update QVT_KONFIG set HODNOTACZ = HODNOTACZ where ITEM = 'ChangeNarMena'");
        session.setBackupFile(QStringLiteral("/nonexistent-dph2012/hotel.fbk"));
    };
    EXPECT_FALSE(update::RunFullUpdate(session, view));
    ASSERT_EQ(view.rehearsals.size(), 1u);
    EXPECT_EQ(entriesStartingWith(QStringLiteral("               | Databaze se od zalohy mohla zmenit")).size(), 1);
    const QStringList errors = view.eventsStartingWith(QStringLiteral("error "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QString::fromUtf8("Záloha databáze se nezdařila"))) << errors[0].toStdString();
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("KROK 1")).isEmpty());
    EXPECT_EQ(value("select count(*) from pos_taxes where percentage = 10"), "2");
    EXPECT_EQ(session.commandsRefused(), 1);
}

// The operator picks another option while the copy is updated: the real run keeps the rehearsed one.
TEST_F(RehearsalGate, TheRealRunUsesTheOptionThatWasRehearsed)
{
    session.setBackupFile(inDirectory("hotel.fbk"));
    view.option = 1;
    view.onEvent = [this](const QString& event) {
        if (event.startsWith(QStringLiteral("rehearsal krok 1 z 8")))
            view.option = 3;
    };
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    ASSERT_EQ(view.rehearsals.size(), 1u);
    EXPECT_EQ(view.rehearsals[0].option, 1);
    EXPECT_EQ(entriesStartingWith(QStringLiteral("     volba")), QStringList{QStringLiteral("     volba b   | ")});
    EXPECT_EQ(value("select count(*) from REC_MM_REZERVACE where DatumOdjezd = '31.12.2011'"), "5") << "split, not closed";
}

} // namespace
