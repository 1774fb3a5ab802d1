#pragma once

#include <string>

namespace db {

// Full: no attachment at all; single: one of SYSDBA or the owner (the services manager's gbak).
enum class Shutdown { Full, Single };

// Shuts the database of the connection string down, every attachment ended at once, or brings it
// online again, through its services manager (what gfix -shut full|single -force 0 and gfix
// -online do). Throws EngineError when the engine refuses, Error when the client library is
// unusable.
void shutDownDatabase(const std::string& connectionString, const std::string& user, const std::string& password,
                      unsigned connectTimeout, Shutdown mode = Shutdown::Full);
void bringDatabaseOnline(const std::string& connectionString, const std::string& user, const std::string& password,
                         unsigned connectTimeout);

} // namespace db
