#include "update/UpdateView.h"

namespace update {

QString completedWithFailures(int kind, int failedStatements, const QString& logFile)
{
    const QString what = kind == 5 ? QString::fromUtf8("Aktualizace skladových položek a rautů byla dokončena s chybami")
                                   : QString::fromUtf8("Aktualizace byla dokončena s chybami");
    const char* noun = failedStatements == 1 ? "příkaz" : failedStatements <= 4 ? "příkazy" : "příkazů";
    return what
        + QString::fromUtf8(": databáze odmítla %1 %2. Jsou zapsány v protokolu %3 (řádky ENGINE ERROR); "
                            "co zbývá dokončit, ukáže dph2012 --check.")
              .arg(failedStatements)
              .arg(QString::fromUtf8(noun), logFile);
}

} // namespace update
