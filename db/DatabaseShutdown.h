#pragma once

#include <string>

namespace db {

// Shuts the database of the connection string down in full, every attachment ended at once, or
// brings it online again, through its services manager (what gfix -shut full -force 0 and gfix
// -online do). Throws EngineError when the engine refuses, Error when the client library is
// unusable.
void shutDownDatabase(const std::string& connectionString, const std::string& user, const std::string& password,
                      unsigned connectTimeout);
void bringDatabaseOnline(const std::string& connectionString, const std::string& user, const std::string& password,
                         unsigned connectTimeout);

} // namespace db
