#pragma once

#include "update/Stop.h"
#include "update/UpdateSession.h"

#include <QString>

#include <functional>

namespace db {
class Connection;
}

namespace app {

// Shows the settings notice and returns once it is dismissed.
using NoticeShower = std::function<void(const QString&)>;

// Automatic mode: the full update (or another command) without a window, for the program in programDir, in the order
// the window would run it: the settings (and their notice), the connection, the update under the
// run claim. Builds no widget. Returns the exit status: 128 plus the stopping signal; 3 when
// nothing was changed (refused before any change, or never connected); 1 when an error ended the
// run (logged and written to standard error); 0 when the connection opened and no statement
// failed; 2 when one did, so the database may be partly changed.
// Ends the run's connection once the update is over: false when the engine had not returned in
// time (every transaction is committed by then).
using EngineEnd = std::function<bool(db::Connection&)>;
// The engine's own detach, waited for at most 10 s.
bool endWithinTenSeconds(db::Connection& connection);

// The command an unattended run makes: the full update, step 7 alone or the stock command.
enum class AutomaticCommand { FullUpdate, StayingGuestsAlone, StockAndBanquets };

// `option`: 0 to 3, what step 7 does with the staying guests (a to d). When the engine's final
// detach does not return in time, the run log and standard error say so and `mustEndAtOnce` is
// set: the process must then end without waiting for the engine (std::_Exit). `pdf` lays the
// night's protocol out; without it the protocol is text alone.
int runAutomatic(const QString& programDir, const NoticeShower& showNotice, const update::StopProbe& stop,
                 int option = 0, bool* mustEndAtOnce = nullptr, const EngineEnd& end = &endWithinTenSeconds,
                 const update::UpdateSession::PdfLayout& pdf = {},
                 AutomaticCommand command = AutomaticCommand::FullUpdate);

} // namespace app
