#pragma once

#include <QtGlobal>

namespace update {

class GroupPace;
class UpdateSession;

// What the full update's steps will take before they ran, for its clock: steps 1 to 6 by the
// database's size, step 7 by the stay groups it will handle. Until its first group is done
// step 7 goes at a usual pace; from then on at the pace of its own groups.
struct UpdateEstimate {
    qint64 steps1To6Milliseconds = 0;
    qint64 groups = 0;
    qint64 millisecondsPerGroup = 0;

    // What is left of the update `elapsed` into it, while step `step` (1 to 8) runs; in step 7,
    // `step7Elapsed` into it, its groups at their `pace` until `groupsTotal` are done.
    qint64 millisecondsLeft(int step, qint64 elapsed, qint64 step7Elapsed, const GroupPace& pace,
                            qint64 groupsTotal) const;
};

// The database's size and the groups step 7 will handle with `option` (0 to 3 for a to d): those
// in house and those an earlier run left half done. A count the database refuses is taken as none.
UpdateEstimate estimateUpdate(UpdateSession& session, int option);

} // namespace update
