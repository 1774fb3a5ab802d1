// The update as the window sees it: its percent rises with the share of its time gone, never
// passes a hundred and ends at a hundred; under Rehearsal=1 its time left is the rehearsal's.

#include "CommandFixture.h"

#include "commands/FullUpdate.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"
#include "commands/Rehearsal.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace {

using update::Phase;
using update::PhaseProgress;

class PhaseProgressOfTheNight : public testsupport::CommandTest {
protected:
    explicit PhaseProgressOfTheNight(testsupport::HotelData data = testsupport::HotelData::Demo) : CommandTest(data) {}

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

// Step 7 is most of a large hotel's night: its share of the percent is its share of the time,
// so its 400 stay groups carry the percent across most of the scale, and what is left goes by
// their pace.
class PhaseProgressOfALongNight : public PhaseProgressOfTheNight {
protected:
    PhaseProgressOfALongNight() : PhaseProgressOfTheNight(testsupport::HotelData::ManyGroups) {}
};

TEST_F(PhaseProgressOfALongNight, TheStayGroupsCarryTheUpdatesPercentAcrossStep7)
{
    view.option = 2;
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    const std::vector<PhaseProgress> reports = of(Phase::Update);
    expectRisingToAHundred(reports, 250);
    std::vector<PhaseProgress> withinStep7;
    std::copy_if(reports.begin(), reports.end(), std::back_inserter(withinStep7), [](const PhaseProgress& progress) {
        return progress.done > 6 * progress.unitsPerStep && progress.done < 7 * progress.unitsPerStep;
    });
    ASSERT_GE(withinStep7.size(), 250u) << "a report after nearly every group";
    for (const PhaseProgress& progress : withinStep7) {
        // Named by the step that runs, its time left by the pace of the groups done.
        EXPECT_TRUE(progress.english().contains(QStringLiteral("(step 7 of 8)"))) << progress.english().toStdString();
        EXPECT_TRUE(progress.leftMilliseconds.has_value());
    }
    EXPECT_LE(withinStep7.front().percent(), 50) << "steps 1 to 6 are the night's short part";
    EXPECT_GE(withinStep7.back().percent(), 90);
}

// The phases' percent through the program is proved by the lines it writes; here, the real
// update's time left comes from the rehearsal's own figure.
TEST_F(PhaseProgressOfTheNight, TheRealRunUnderRehearsalTellsTimeLeftByTheRehearsalsFigure)
{
    session.setRehearsalWanted(true);
    session.setBackupFile(inDirectory("hotel.fbk"));
    ASSERT_TRUE(update::RunFullUpdate(session, view));
    ASSERT_EQ(view.rehearsals.size(), 1u);
    const std::vector<PhaseProgress> real = of(Phase::Update);
    expectRisingToAHundred(real, 9);
    for (const PhaseProgress& progress : real)
        EXPECT_EQ(progress.expectedMilliseconds, view.rehearsals[0].updateMilliseconds);
}

// Step 7 on its own shows its stay groups as the full update shows its steps.
TEST_F(PhaseProgressOfTheNight, Step7AloneShowsItsGroupsInPercentWithTimeLeft)
{
    ASSERT_TRUE(installServerObjects());
    view.option = 2;
    ASSERT_TRUE(update::RunStayingGuestsAlone(session, view));
    const std::vector<PhaseProgress> reports = of(Phase::StayingGuests);
    expectRisingToAHundred(reports, 4);
    EXPECT_TRUE(reports.front().english().startsWith(QStringLiteral("step 7: 25 % (1 of 4 stay groups), about ")))
        << reports.front().english().toStdString();
}

} // namespace
