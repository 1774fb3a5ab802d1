// The long phases of a night as the window sees them: each one's percent rises, never passes a
// hundred and ends at a hundred; under Rehearsal=1 the real update's time left is the rehearsal's.

#include "CommandFixture.h"

#include "update/FullUpdate.h"
#include "update/safety/Rehearsal.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace {

using update::Phase;
using update::PhaseProgress;

class PhaseProgressOfTheNight : public testsupport::CommandTest {
protected:
    // A database whose backup and restore take a few seconds, so the file is seen growing.
    void makeBulky()
    {
        exec("create table TEST_BULK (ID integer, TXT varchar(160))");
        exec("execute block as declare i integer = 0; begin while (i < 600000) do begin "
             "insert into TEST_BULK values (:i, uuid_to_char(gen_uuid()) || uuid_to_char(gen_uuid())); i = i + 1; end end");
    }
    QString inDirectory(const char* name) const { return QString::fromStdString((database.directory() / name).string()); }

    std::vector<PhaseProgress> of(Phase phase) const
    {
        std::vector<PhaseProgress> found;
        std::copy_if(view.phases.begin(), view.phases.end(), std::back_inserter(found),
                     [phase](const PhaseProgress& progress) { return progress.phase == phase; });
        return found;
    }

    // Every report has a known total, the percent never falls nor passes 100, and only the last
    // one, at 100, says the phase ended.
    static void expectRisingToAHundred(const std::vector<PhaseProgress>& reports, std::size_t atLeast)
    {
        ASSERT_GE(reports.size(), atLeast);
        int previous = 0;
        for (std::size_t index = 0; index < reports.size(); ++index) {
            const PhaseProgress& progress = reports[index];
            ASSERT_TRUE(progress.percent().has_value()) << index;
            EXPECT_GE(*progress.percent(), previous) << index;
            EXPECT_LE(*progress.percent(), 100) << index;
            EXPECT_EQ(progress.finished, index + 1 == reports.size()) << index;
            previous = *progress.percent();
        }
        EXPECT_EQ(reports.back().percent(), 100);
        // Between its start and its end, the phase was seen on its way.
        EXPECT_TRUE(std::any_of(reports.begin(), reports.end(), [](const PhaseProgress& progress) {
            return progress.percent() > 0 && progress.percent() < 100;
        }));
    }
};

TEST_F(PhaseProgressOfTheNight, TheBackupAndTheUpdateRiseToAHundred)
{
    makeBulky();
    session.setBackupFile(inDirectory("hotel.fbk"));
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    expectRisingToAHundred(of(Phase::Backup), 3);
    const std::vector<PhaseProgress> steps = of(Phase::Update);
    expectRisingToAHundred(steps, 9);
    EXPECT_EQ(steps.front().total / steps.front().unitsPerStep, 8);
    EXPECT_EQ(steps.back().done, steps.back().total);
    EXPECT_FALSE(steps.back().expectedMilliseconds.has_value()) << "nothing was rehearsed";
}

// Step 7 is most of a large hotel's night: its stay groups move the percent within the step.
TEST_F(PhaseProgressOfTheNight, TheStayGroupsMoveTheUpdatesPercentWithinStep7)
{
    view.option = 2;
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    const std::vector<PhaseProgress> reports = of(Phase::Update);
    expectRisingToAHundred(reports, 10);
    std::vector<int> withinStep7;
    for (const PhaseProgress& progress : reports)
        if (progress.done > 6 * progress.unitsPerStep && progress.done < 7 * progress.unitsPerStep)
            withinStep7.push_back(*progress.percent());
    EXPECT_GE(withinStep7.size(), 2u) << "a report after each group but the last";
    EXPECT_TRUE(std::all_of(withinStep7.begin(), withinStep7.end(), [](int percent) { return percent >= 75 && percent < 88; }));
    EXPECT_TRUE(reports[reports.size() - 2].english().startsWith(QStringLiteral("update: 87 % (step 7 of 8)")))
        << reports[reports.size() - 2].english().toStdString();
}

TEST_F(PhaseProgressOfTheNight, TheRehearsalsRestoreAndUpdateRiseToAHundredAndTheRealRunUsesItsFigure)
{
    makeBulky();
    session.setRehearsalWanted(true);
    session.setBackupFile(inDirectory("hotel.fbk"));
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    expectRisingToAHundred(of(Phase::Backup), 3);
    expectRisingToAHundred(of(Phase::Restore), 3);
    expectRisingToAHundred(of(Phase::RehearsedUpdate), 9);
    ASSERT_EQ(view.rehearsals.size(), 1u);
    const std::vector<PhaseProgress> real = of(Phase::Update);
    expectRisingToAHundred(real, 9);
    for (const PhaseProgress& progress : real)
        EXPECT_EQ(progress.expectedMilliseconds, view.rehearsals[0].updateMilliseconds);
}

} // namespace
