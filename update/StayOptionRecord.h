#pragma once

#include <QString>

#include <optional>

namespace update {

// The file beside the run log where this program notes, per database, the option that step 7
// last ran with (b to d): the check needs it to tell a split that option b wanted from one that
// option c left unfinished, which the database alone cannot.
inline const QString kStayOptionFileName = QStringLiteral("QVTDPH2012-volba.stav");

class StayOptionRecord {
public:
    explicit StayOptionRecord(const QString& programDir);

    // Notes `option` (1 to 3) for the database; empty text when it was noted, else why not.
    QString note(const QString& database, int option) const;
    // The option noted for the database, if any; a record the program did not write itself is
    // not read.
    std::optional<int> noted(const QString& database) const;

private:
    QString filePath_;
};

} // namespace update
