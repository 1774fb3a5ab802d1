#pragma once

namespace update {

class UpdateSession;
class UpdateView;

// Step 7 on its own, at any time, holding the database-wide claim (RunClaimed). The command
// buttons are off while it runs and come back as they were. False when an error ended it, or it
// was refused or stopped.
bool RunStayingGuestsAlone(UpdateSession& session, UpdateView& view);

} // namespace update
