// How far a long phase is and how long it has left; the texts are proved where they are shown.

#include "update/PhaseClock.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

using update::Phase;
using update::PhaseProgress;

// A backup of a 1,110 MB database.
TEST(PhaseClock, PercentStaysBelowAHundredUntilTheEndAndTimeLeftFollowsThePaceOrTheRehearsal)
{
    const struct {
        const char* what;
        qint64 done;
        qint64 elapsed;
        std::optional<qint64> rehearsed;
        bool finished;
        std::optional<int> percent;
        std::optional<qint64> secondsLeft;
    } cases[] = {
        {"nothing yet", 0, 80'000, {}, false, 0, std::nullopt},
        {"412 MB in 80 s, 698 MB more at that pace", 412'000'000, 80'000, {}, false, 37, 136},
        {"a file larger than the estimate", 2'000'000'000, 1000, {}, false, 99, 0},
        {"a file ended smaller than the database's pages", 900'000'000, 1000, {}, true, 100, 0},
        {"by the rehearsal's figure", 412'000'000, 80'000, 300'000, false, 37, 220},
        {"late against the rehearsal, never negative", 412'000'000, 400'000, 300'000, false, 37, 0},
    };
    for (const auto& row : cases) {
        PhaseProgress progress(Phase::Backup, 1'110'000'000);
        progress.done = row.done;
        progress.elapsedMilliseconds = row.elapsed;
        progress.expectedMilliseconds = row.rehearsed;
        progress.finished = row.finished;
        EXPECT_EQ(progress.percent(), row.percent) << row.what;
        if (!row.finished) {
            EXPECT_EQ(progress.secondsLeft(), row.secondsLeft) << row.what;
        }
    }
}

// Step 7's groups: what is left follows their cost as it grows with the database, within a
// twentieth of the truth from a fifth of the groups on.
TEST(PhaseClock, TheGroupsTimeLeftFollowsTheirCostAsItGrows)
{
    const struct {
        const char* what;
        double firstGroup, growthPerGroup;
    } cases[] = {
        {"an even cost", 4.0, 0.0},
        {"a cost that grows by half over the run", 4.0, 0.0002},
        {"a cost that doubles over the run", 4.0, 0.0004},
    };
    constexpr qint64 kGroups = 10'000;
    for (const auto& row : cases) {
        std::vector<double> ends;
        double elapsed = 150; // reading the groups first
        for (qint64 group = 0; group < kGroups; ++group) {
            elapsed += row.firstGroup * (1 + row.growthPerGroup * static_cast<double>(group));
            ends.push_back(elapsed);
        }
        update::GroupPace pace;
        for (qint64 done = 1; done <= kGroups; ++done) {
            pace.groupEnded(done, static_cast<qint64>(ends[static_cast<std::size_t>(done - 1)]));
            if (done % 1000 == 0 && done >= 2000 && done < kGroups) {
                const double truth = ends.back() - ends[static_cast<std::size_t>(done - 1)];
                EXPECT_NEAR(static_cast<double>(pace.millisecondsLeft(kGroups)), truth, truth / 20)
                    << row.what << ", " << done << " done";
            }
        }
        EXPECT_EQ(pace.millisecondsLeft(kGroups), 0) << row.what;
    }
}

// A phase that cannot know its total says so rather than inventing one.
TEST(PhaseClock, AnUnknownTotalGivesNoPercent)
{
    PhaseProgress unknown(Phase::Restore, 0);
    EXPECT_EQ(unknown.percent(), std::nullopt);
    EXPECT_TRUE(unknown.english().contains(QStringLiteral("cannot be known"))) << unknown.english().toStdString();
    EXPECT_TRUE(unknown.czech().contains(QString::fromUtf8("nelze zjistit"))) << unknown.czech().toStdString();
}

} // namespace
