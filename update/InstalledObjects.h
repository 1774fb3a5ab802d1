#pragma once

#include "update/ServerScripts.h"

#include <QList>
#include <QString>

namespace db {
class Connection;
}

namespace update {

// How one of the five server-side objects stands in the database against the text the update
// installs.
enum class ObjectState {
    Current,      // present, compiled, active, and its source is the update's own
    Missing,      // no object of that name
    Invalid,      // present, but the engine marks it as not compiled against today's tables
    Inactive,     // a trigger switched off
    OtherVersion, // present and working, but its source differs (an older text, or one the server refused to replace)
};

// Looks the object up in the system tables. Line ends and blanks around lines do not count.
// Throws db::EngineError when the system tables cannot be read.
ObjectState installedState(db::Connection& connection, const ServerObject& object, const ServerScript& script);

// The run-log word for a state: "aktualni", "chybi", "neplatny", "neaktivni", "jina verze".
QString stateWord(ObjectState state);

} // namespace update
