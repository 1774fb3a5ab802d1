#pragma once

#include <QString>

#include <functional>

namespace update {

class UpdateSession;
class UpdateView;

// The run-log prefix of an error that ended a command or the program.
inline const QString kErrorPrefix = QStringLiteral("ERROR          | ");

// Runs one command's work. Whatever error ends it, the stay query is closed (a later step 7
// reads the groups afresh), the error is logged, `restore` puts the controls back as after a
// normal end, and the operator is told. True when the work ran to its end.
bool runRecoveringFromErrors(UpdateSession& session, UpdateView& view, const std::function<void()>& work,
                             const std::function<void()>& restore);

} // namespace update
