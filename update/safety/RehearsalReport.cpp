#include "update/safety/RehearsalReport.h"

namespace update {

namespace {

QString seconds(qint64 milliseconds)
{
    return QString::number(static_cast<double>(milliseconds) / 1000.0, 'f', 1);
}

QString bytes(qint64 size)
{
    return size < 0 ? QStringLiteral("?") : QString::number(size) + QStringLiteral(" B");
}

} // namespace

int RehearsalReport::statements() const
{
    int sent = 0;
    for (const RehearsedStep& step : steps)
        sent += step.statements;
    return sent;
}

int RehearsalReport::failedStatements() const
{
    int failed = 0;
    for (const RehearsedStep& step : steps)
        failed += step.failed;
    return failed;
}

QString RehearsalReport::firstFailure() const
{
    for (const RehearsedStep& step : steps)
        if (!step.firstFailure.isEmpty())
            return step.firstFailure;
    return {};
}

QStringList RehearsalReport::leftItems() const
{
    if (!made())
        return {};
    if (!check)
        return {QStringLiteral("kontrola kopie neprobehla")};
    QStringList left;
    if (!check->connectError.isEmpty())
        left.append(QStringLiteral("kontrola kopie: ") + check->connectError);
    for (const ReadinessItem& item : check->items)
        if (item.counted && (item.left || !item.count))
            left.append(item.what);
    return left;
}

int RehearsalReport::exitStatus() const
{
    if (!made())
        return 2;
    return hasProblems() ? 1 : 0;
}

QString RehearsalReport::text() const
{
    static const char* const kOptions[] = {"a", "b", "c", "d"};
    QStringList lines = {QStringLiteral("dph2012 --rehearse: zkouska aktualizace na kopii databaze (volba %1)")
                             .arg(QLatin1String(kOptions[option >= 0 && option < 4 ? option : 0]))};
    lines.append(QStringLiteral("Zaloha:  %1 (%2 s)").arg(backupFile, seconds(backupMilliseconds)));
    if (!scratchDatabase.isEmpty())
        lines.append(QStringLiteral("Kopie:   %1 (obnova %2 s)").arg(scratchDatabase, seconds(restoreMilliseconds)));
    if (!made()) {
        lines.append(QStringLiteral("Zkouska nebyla provedena: ") + notMade);
        if (!dropFailure.isEmpty())
            lines.append(QStringLiteral("Kopii nelze odstranit: ") + dropFailure);
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    lines.append(QStringLiteral("Zaloha byla obnovena cela: lze z ni obnovit databazi."));
    lines.append(QStringLiteral("Velikost kopie: pred %1, po %2").arg(bytes(sizeBefore), bytes(sizeAfter)));
    lines.append(QStringLiteral("%1 %2 %3 %4  %5")
                     .arg(QStringLiteral("Krok"), -5)
                     .arg(QStringLiteral("Cas s"), 7)
                     .arg(QStringLiteral("Prikazu"), 8)
                     .arg(QStringLiteral("Chyb"), 5)
                     .arg(QStringLiteral("Prvni chyba")));
    for (const RehearsedStep& step : steps)
        lines.append(QStringLiteral("%1 %2 %3 %4  %5")
                         .arg(QString::number(step.step), -5)
                         .arg(QString::number(static_cast<double>(step.milliseconds) / 1000.0, 'f', 2), 7)
                         .arg(step.statements, 8)
                         .arg(step.failed, 5)
                         .arg(step.firstFailure));
    if (check)
        lines.append(QStringLiteral("Kontrola kopie po aktualizaci:\n")
                     + check->text(scratchDatabase, QString()).section(QLatin1Char('\n'), 1).trimmed());
    lines.append(QStringLiteral("Celkem: %1 prikazu, %2 chyb, zbyva %3")
                     .arg(statements())
                     .arg(failedStatements())
                     .arg(leftItems().size()));
    lines.append(QStringLiteral("Cas: zaloha %1 s + obnova %2 s + aktualizace %3 s = %4 s")
                     .arg(seconds(backupMilliseconds), seconds(restoreMilliseconds), seconds(updateMilliseconds),
                          seconds(totalMilliseconds)));
    // What the real run repeats of the rehearsal: the backup and the update, not the restore.
    lines.append(QStringLiteral("Odhad skutecneho behu: zaloha %1 s + aktualizace %2 s = %3 s")
                     .arg(seconds(backupMilliseconds), seconds(updateMilliseconds),
                          seconds(backupMilliseconds + updateMilliseconds)));
    if (made())
        lines.append(QStringLiteral("Navrat (dph2012 --restore): zaloha je overena obnovou, potrva asi %1 s (obnova a "
                                    "zamena nazvu)")
                         .arg(seconds(wayBackMilliseconds)));
    lines.append(kWhereTheRealRunMayDiffer);
    if (!dropFailure.isEmpty())
        lines.append(QStringLiteral("Kopii nelze odstranit: ") + dropFailure);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString RehearsalReport::logEntry() const
{
    if (!hasProblems())
        return QStringLiteral("ZKOUSKA OK     | %1 prikazu, %2 s").arg(statements()).arg(seconds(totalMilliseconds));
    const QString first = made() ? (firstFailure().isEmpty() ? leftItems().value(0) : firstFailure()) : notMade;
    return QStringLiteral("ZKOUSKA CHYBA  | %1 chyb, zbyva %2: %3")
        .arg(failedStatements())
        .arg(leftItems().size())
        .arg(first);
}

} // namespace update
