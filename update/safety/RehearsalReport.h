#pragma once

#include "update/safety/ReadinessCheck.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace update {

// What a rehearsal cannot show of the real run, said with every report.
inline const QString kWhereTheRealRunMayDiffer = QStringLiteral(
    "Skutecny beh se muze lisit: kopie patri uzivateli, ktery ji obnovil (na skutecne databazi mu mohou chybet "
    "prava), ke kopii neni pripojen zadny program hotelu a cerstve obnovena kopie nema stare verze zaznamu, "
    "takze skutecny beh muze trvat dele nez odhad.");

// One step of the update as rehearsed on the scratch database.
struct RehearsedStep {
    int step = 0; // 1 to 8
    qint64 milliseconds = 0;
    int statements = 0;   // sent
    int failed = 0;       // refused by the engine
    QString firstFailure; // the first refused statement's three values, empty when none
};

// What a rehearsal of the full update on a restored copy of the database found.
struct RehearsalReport {
    QString backupFile;      // the backup that was restored (the real run relies on it)
    QString scratchDatabase; // the restored copy, dropped at the end
    int option = 0;          // staying guests: 0 to 3 for a to d

    // Empty when the backup, the restore and the connection to the copy all succeeded; else why
    // the rehearsal could not be made.
    QString notMade;
    std::vector<RehearsedStep> steps;
    // The readiness check of the copy after the rehearsed update; empty when it was not reached.
    std::optional<ReadinessReport> check;
    // The copy's size in bytes after the restore and after the update; -1 when unknown.
    qint64 sizeBefore = -1;
    qint64 sizeAfter = -1;
    qint64 backupMilliseconds = 0;
    qint64 restoreMilliseconds = 0;
    qint64 updateMilliseconds = 0;
    qint64 totalMilliseconds = 0;
    // How long putting the backup back in place (dph2012 --restore) takes: a restore of it alone.
    qint64 wayBackMilliseconds = 0;
    // The copy could not be dropped: what the engine said (the file is left behind).
    QString dropFailure;

    bool made() const { return notMade.isEmpty(); }
    // The backup was restored in full, so the real run's backup is known to be restorable.
    bool backupProved() const { return made(); }
    int statements() const;
    int failedStatements() const;
    // The first refused statement's three values, empty when none was refused.
    QString firstFailure() const;
    // The items of the update's steps that the check still found at the old rate, or could not count.
    QStringList leftItems() const;
    // Anything that should stop the real run: not made, a refused statement, an item left.
    bool hasProblems() const { return !made() || failedStatements() > 0 || !leftItems().isEmpty(); }
    // 0 when everything succeeded and nothing is left, 1 when a statement failed or something is
    // left, 2 when the rehearsal could not be made.
    int exitStatus() const;

    // The report for standard output: Czech without diacritics, as the --check report.
    QString text() const;
    // The run log's end entry: "ZKOUSKA OK     | N prikazu, S s" or
    // "ZKOUSKA CHYBA  | N chyb, zbyva M: <first error's three values>".
    QString logEntry() const;
};

} // namespace update
