#pragma once

#include <QString>

namespace update {

// Text that another client chose (its process name, user, address in the monitoring tables),
// made safe to write anywhere: every control character (C0, DEL, C1, line and paragraph
// separators) becomes '?', so it can neither start a line of the run log nor steer a terminal.
QString visibleText(const QString& foreign);

} // namespace update
