#pragma once

#include "db/AttachmentBeside.h"
#include "update/NightProtocol.h"

#include <QString>

namespace update {

class UpdateSession;

// Reads the stay groups' figures for the night's protocol on an attachment of its own, in a
// thread, while the session's attachment checks the database. The record's groups are the
// reader's until `wait` returns.
class FiguresBeside {
public:
    FiguresBeside(UpdateSession& session, NightProtocol& record);

    bool done() const { return reader_.done(); }
    // Waits for the figures and the end of their attachment, which the session then counts as its
    // own; what could not be read, or empty. Once.
    QString wait();

private:
    UpdateSession& session_;
    db::AttachmentBeside reader_;
};

} // namespace update
