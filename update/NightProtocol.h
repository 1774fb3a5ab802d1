#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace update {

// A statement the engine ran, with the rows it changed as the engine counted them.
struct ProtocolChange {
    int step = 0;
    QString statement;
    qint64 rows = 0;
};

// A statement the engine refused: its step and the engine error's three values.
struct ProtocolFailure {
    int step = 0;
    QString statement;
    QString values;
};

// One stay group as step 7 left it, with what the database holds of it after that.
struct ProtocolGroup {
    qint64 group = 0;
    QString reservations;     // "1002, 1003"
    QString accounts;         // the client's accounts, "5002 (uzavřen), 5003"
    qint64 nights2011 = 0;    // before 31.12.2011, where step 7 splits
    qint64 nights2012 = 0;
    QString charged10;        // what the update posted on the client's accounts at 10 % and 14 %
    QString charged14;
    QString state;            // what step 7 reached, or why it left the group
};

// What one command did to the hotel's data, recorded as it runs, for the night's protocol.
class NightProtocol {
public:
    // Starts the record of a command anew ("Úplná aktualizace" and so on).
    void begin(const QString& command);
    // Nothing recorded: no command has begun.
    void clear() { *this = NightProtocol(); }
    void beginStep(int step) { step_ = step; }
    void noteChanged(const QString& statement, qint64 rows) { changes_.push_back({step_, statement, rows}); }
    void noteFailed(const QString& statement, const QString& values) { failures_.push_back({step_, statement, values}); }
    void noteGroup(ProtocolGroup group) { groups_.push_back(std::move(group)); }
    void noteOption(int option) { option_ = option; }

    bool begun() const { return !command_.isEmpty(); }
    QString command() const { return command_; }
    QDateTime started() const { return started_; }
    int option() const { return option_; }
    const std::vector<ProtocolChange>& changes() const { return changes_; }
    const std::vector<ProtocolFailure>& failures() const { return failures_; }
    const std::vector<ProtocolGroup>& groups() const { return groups_; }
    std::vector<ProtocolGroup>& groups() { return groups_; }

private:
    QString command_;
    QDateTime started_;
    int step_ = 0;
    int option_ = -1;
    std::vector<ProtocolChange> changes_;
    std::vector<ProtocolFailure> failures_;
    std::vector<ProtocolGroup> groups_;
};

} // namespace update
