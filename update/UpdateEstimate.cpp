#include "update/UpdateEstimate.h"

#include "db/EngineError.h"
#include "db/ServiceBackup.h"
#include "update/PhaseClock.h"
#include "update/PhaseSize.h"
#include "update/StayGroups.h"
#include "update/UpdateSession.h"

#include <algorithm>

namespace update {

namespace {

// The paces of the bench's stand-in hotels (steps 1 to 6 per megabyte of database, option c per
// stay group), with the embedded engine and through a server on the same machine.
constexpr qint64 kStepsMillisecondsPerMegabyte = 10;
constexpr qint64 kEmbeddedMillisecondsPerGroup = 2;
constexpr qint64 kServerMillisecondsPerGroup = 5;

} // namespace

qint64 UpdateEstimate::millisecondsLeft(int step, qint64 elapsed, qint64 step7Elapsed, const GroupPace& pace,
                                        qint64 groupsTotal) const
{
    if (step <= 6)
        return std::max<qint64>(steps1To6Milliseconds - elapsed, 0) + groups * millisecondsPerGroup;
    if (step > 7)
        return 0;
    if (groupsTotal > 0)
        return pace.millisecondsLeft(groupsTotal);
    return std::max<qint64>(groups * millisecondsPerGroup - step7Elapsed, 0);
}

UpdateEstimate estimateUpdate(UpdateSession& session, int option)
{
    UpdateEstimate estimate;
    estimate.steps1To6Milliseconds = databaseBytes(session.Database1) / 1'000'000 * kStepsMillisecondsPerMegabyte;
    const bool throughServer = !db::serviceTargetOf(session.settings().alias.toStdString()).host.empty();
    estimate.millisecondsPerGroup = throughServer ? kServerMillisecondsPerGroup : kEmbeddedMillisecondsPerGroup;
    if (option < 1 || option > 3 || !session.isConnected())
        return estimate;
    try {
        estimate.groups = static_cast<qint64>(groupsLeft(session.Database1, option).size());
    } catch (const db::EngineError&) {
        // Only the clock depends on it: step 7 then counts its groups as it reads them.
    }
    return estimate;
}

} // namespace update
