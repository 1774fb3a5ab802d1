#pragma once

#include <QDateTime>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace update {

// A statement the engine ran, with the rows it changed as the engine counted them and, for a
// move from 10 to 14 %, what the rows moved were worth ("12 300,00 CZK; 150,00 EUR"; empty when
// not read).
struct ProtocolChange {
    int step = 0;
    QString statement;
    qint64 rows = 0;
    QString worth;
};

// A statement the engine refused: its step and the engine error's three values.
struct ProtocolFailure {
    int step = 0;
    QString statement;
    QString values;
};

// The last account item and cash-journal row before step 7's first group: everything after them
// was written by the step.
struct PostingMarks {
    qint64 lastItem = 0;
    qint64 lastJournalRow = 0;
};

// What the client's accounts received during the command, in hundredths of the home currency.
struct GroupPosting {
    std::map<int, qint64> salesByRate; // account items other than carry-overs, by their rate
    qint64 carriedOver = 0;            // the update's own items: balances carried over, deposits re-rated
    qint64 journalClosed = 0;          // cash-journal rows the closing wrote on the accounts it closed
    qint64 journalOpen = 0;            // and on the accounts the balances went to
};

// One stay group as step 7 left it, with what the database holds of it after that.
struct ProtocolGroup {
    qint64 group = 0;
    QString reservations;     // "1002, 1003"
    QString accounts;         // the client's accounts, "5002 (uzavřen), 5003"
    qint64 nightsBefore = 0;  // nights up to 30.12.2011, before the split date
    qint64 nightsFrom = 0;    // nights from 31.12.2011 on
    std::optional<GroupPosting> posted; // empty when what the step posted is not known
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
    // What the rows of the statement noted next are worth, read in its own transaction.
    void noteWorthOfNext(const QString& worth) { worthOfNext_ = worth; }
    void noteChanged(const QString& statement, qint64 rows)
    {
        changes_.push_back({step_, statement, rows, worthOfNext_});
        worthOfNext_.clear();
    }
    void noteFailed(const QString& statement, const QString& values)
    {
        failures_.push_back({step_, statement, values});
        worthOfNext_.clear();
    }
    void noteGroup(ProtocolGroup group) { groups_.push_back(std::move(group)); }
    void noteOption(int option) { option_ = option; }
    void notePostingMarks(PostingMarks marks) { marks_ = marks; }

    bool begun() const { return !command_.isEmpty(); }
    QString command() const { return command_; }
    QDateTime started() const { return started_; }
    int option() const { return option_; }
    const std::vector<ProtocolChange>& changes() const { return changes_; }
    const std::vector<ProtocolFailure>& failures() const { return failures_; }
    const std::vector<ProtocolGroup>& groups() const { return groups_; }
    std::vector<ProtocolGroup>& groups() { return groups_; }
    const std::optional<PostingMarks>& postingMarks() const { return marks_; }

private:
    QString command_;
    QDateTime started_;
    int step_ = 0;
    int option_ = -1;
    QString worthOfNext_;
    std::optional<PostingMarks> marks_;
    std::vector<ProtocolChange> changes_;
    std::vector<ProtocolFailure> failures_;
    std::vector<ProtocolGroup> groups_;
};

} // namespace update
