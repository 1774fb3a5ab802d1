#pragma once

namespace update {

class UpdateSession;

// Mends what an older text of the split left on the stays it split at 31.12.2011, where the two
// parts of a stay are told apart for sure (a line copied with its whole period into exactly one
// part beginning there): lines wholly from 31.12.2011 on move to that part (uncharged ones at 10
// to 14, as step 5 moves them), lines with a negative link across the date are copied to it, and
// a copy of a line charged before the split is marked as charged as far. A cancelled stay that
// such a split gave another status cannot be told from a 2012 part cancelled later, and is left
// alone. One logged statement, sent only when the check finds such a stay. Returns false when
// the database refused it (the run log says so; the check still names what is left).
bool RepairOlderSplits(UpdateSession& session);

} // namespace update
