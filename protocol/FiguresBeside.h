#pragma once

#include "db/Connection.h"
#include "update/NightProtocol.h"

#include <QString>

#include <atomic>
#include <thread>

namespace update {

class UpdateSession;

// Reads the stay groups' figures for the night's protocol on an attachment of its own, in a
// thread, while the session's attachment checks the database. The record's groups are the
// reader's until `wait` returns.
class FiguresBeside {
public:
    FiguresBeside(UpdateSession& session, NightProtocol& record);
    FiguresBeside(const FiguresBeside&) = delete;
    FiguresBeside& operator=(const FiguresBeside&) = delete;
    ~FiguresBeside();

    bool done() const { return done_.load(); }
    // Waits for the figures and the end of their attachment, which the session then counts as its
    // own; what could not be read, or empty. Once.
    QString wait();

private:
    UpdateSession& session_;
    db::Connection connection_;
    QString unread_;
    std::atomic<bool> done_{false};
    std::thread reader_;
};

} // namespace update
