#include "update/safety/ThisMachine.h"

#include "db/ServiceBackup.h"

#include <QString>

namespace update {

bool isThisMachine(const db::ServiceTarget& target)
{
    // "inet://host:3051", "[::1]/3051", "host/3051", "host": the host's name or address alone.
    QString host = QString::fromStdString(target.host).toLower();
    if (const qsizetype scheme = host.indexOf(QLatin1String("://")); scheme >= 0)
        host = host.mid(scheme + 3);
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
    else
        host = host.section(QLatin1Char('/'), 0, 0).section(QLatin1Char(':'), 0, 0);
    return host == QLatin1String("localhost") || host == QLatin1String("::1") || host.startsWith(QLatin1String("127."));
}

} // namespace update
