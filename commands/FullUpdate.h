#pragma once

namespace update {

class UpdateSession;
class UpdateView;

// The full year-end update: the eight steps in order, each logged and ticked off in the view.
// A refused statement is logged and the steps go on; any other error ends the command with the
// window usable again. Others attached to the database are reported first; with a Backup
// setting the database is backed up before any change, and a failed backup refuses the update.
// Holds the database-wide claim while it runs (RunClaimed): refused while another instance
// runs; a stop signal ends it after the statement in flight, logged, the connection closed.
// False when an error ended it, it was refused or stopped.
bool RunFullUpdate(UpdateSession& session, UpdateView& view);
// The same without the claim: for a rehearsal's scratch copy, which no other instance knows of,
// and inside the claim's own hold. A stop signal throws Interrupted to the caller.
bool RunFullUpdateWithoutClaim(UpdateSession& session, UpdateView& view);

} // namespace update
