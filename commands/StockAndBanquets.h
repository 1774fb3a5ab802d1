#pragma once

namespace update {

class UpdateSession;
class UpdateView;

// Moves the food-and-beverage stock items and the banquet documents from rate 10 to 14; meant
// for after New Year. Holds the database-wide claim while it runs (RunClaimed). False when an
// error (not a refused statement) ended it, or it was refused or stopped.
bool UpdateStockAndBanquets(UpdateSession& session, UpdateView& view);

} // namespace update
