// How far a long phase is and how long it has left, as the window and standard error say it.

#include "update/PhaseClock.h"

#include <gtest/gtest.h>

namespace {

using update::Phase;
using update::PhaseProgress;

PhaseProgress backupAt(qint64 done, qint64 elapsedMilliseconds)
{
    PhaseProgress progress(Phase::Backup, 1'110'000'000);
    progress.done = done;
    progress.elapsedMilliseconds = elapsedMilliseconds;
    return progress;
}

TEST(PhaseClock, PercentStaysBelowAHundredUntilThePhaseHasEnded)
{
    EXPECT_EQ(backupAt(0, 0).percent(), 0);
    EXPECT_EQ(backupAt(412'000'000, 1000).percent(), 37);
    EXPECT_EQ(backupAt(1'109'999'999, 1000).percent(), 99);
    EXPECT_EQ(backupAt(2'000'000'000, 1000).percent(), 99) << "a file larger than the estimate";
    EXPECT_EQ(backupAt(-5, 1000).percent(), 0);
    PhaseProgress ended = backupAt(900'000'000, 1000);
    ended.finished = true;
    EXPECT_EQ(ended.percent(), 100) << "the file ended smaller than the database's pages";
}

TEST(PhaseClock, TimeLeftFollowsThePaceOrTheRehearsalsFigure)
{
    // 412 MB in 80 s: 698 MB more at that pace.
    EXPECT_EQ(backupAt(412'000'000, 80'000).secondsLeft(), 135);
    EXPECT_EQ(backupAt(0, 80'000).secondsLeft(), std::nullopt) << "no pace yet";
    PhaseProgress rehearsed = backupAt(412'000'000, 80'000);
    rehearsed.expectedMilliseconds = 300'000;
    EXPECT_EQ(rehearsed.secondsLeft(), 220);
    rehearsed.elapsedMilliseconds = 400'000;
    EXPECT_EQ(rehearsed.secondsLeft(), 0) << "late against the rehearsal, never negative";
}

TEST(PhaseClock, TextsForTheWindowAndForStandardError)
{
    const PhaseProgress backup = backupAt(412'000'000, 80'000);
    EXPECT_EQ(backup.czech(), QString::fromUtf8("Záloha 37 %, zbývá asi 2 min"));
    EXPECT_EQ(backup.english(), QStringLiteral("backup: 37 % (412 of 1,110 MB), about 2 min left"));

    PhaseProgress update(Phase::Update, 8, false);
    update.done = 3;
    update.elapsedMilliseconds = 3000;
    EXPECT_EQ(update.english(), QStringLiteral("update: 37 % (step 3 of 8), about 5 s left"));
    update.done = 8;
    update.finished = true;
    EXPECT_EQ(update.english(), QStringLiteral("update: 100 % (step 8 of 8), done"));
    EXPECT_EQ(update.czech(), QString::fromUtf8("Aktualizace 100 %, hotovo"));

    PhaseProgress written = backupAt(380'000'000, 200'000);
    written.finished = true;
    EXPECT_EQ(written.english(), QStringLiteral("backup: 100 % (380 MB), done"));

    PhaseProgress unknown(Phase::Restore, 0);
    EXPECT_EQ(unknown.percent(), std::nullopt);
    EXPECT_EQ(unknown.english(), QStringLiteral("restore: running, its total cannot be known here"));
    EXPECT_EQ(unknown.czech(), QString::fromUtf8("Obnova běží, celkový rozsah nelze zjistit"));
    unknown.finished = true;
    EXPECT_EQ(unknown.english(), QStringLiteral("restore: 100 %, done")) << "a server's copy is not measured here";
}

TEST(PhaseClock, DurationsAsTheOperatorReadsThem)
{
    EXPECT_EQ(update::roughDuration(0), QStringLiteral("1 s"));
    EXPECT_EQ(update::roughDuration(45), QStringLiteral("45 s"));
    EXPECT_EQ(update::roughDuration(135), QStringLiteral("2 min"));
    EXPECT_EQ(update::roughDuration(3900), QStringLiteral("1 h 5 min"));
}

} // namespace
