#pragma once

namespace update {

class UpdateSession;
class UpdateView;

// The full year-end update: the eight steps in order, each logged and ticked off in the view.
// A refused statement is logged and the steps go on; any other error ends the command with the
// window usable again. Others attached to the database are reported first; with a Backup
// setting the database is backed up before any change, and a failed backup refuses the update.
// False when an error ended it or it was refused.
bool RunFullUpdate(UpdateSession& session, UpdateView& view);

} // namespace update
