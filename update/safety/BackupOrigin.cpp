#include "update/safety/BackupOrigin.h"

#include "db/ServiceBackup.h"
#include "update/safety/BackupRecord.h"

#include <QDir>

namespace update {

namespace {

bool sameName(const QString& one, const QString& other)
{
    return QDir::cleanPath(one) == QDir::cleanPath(other);
}

} // namespace

bool isBackupOf(const QString& named, const RecordedBackup& backup, const QString& attachedNow)
{
    // A record of an earlier version knows only the header's name.
    if (backup.attached.isEmpty())
        return QDir::isAbsolutePath(named) && sameName(named, attachedNow);
    // The header holds the name the engine was handed, alias or link as it stood; where that name
    // leads today proves nothing, what the engine had open then does.
    const QString madeThrough = QString::fromStdString(db::serviceTargetOf(backup.database.toStdString()).database);
    return (named == madeThrough || sameName(named, backup.attached)) && sameName(backup.attached, attachedNow);
}

QString backedUpDatabaseText(const QString& named, const RecordedBackup& backup)
{
    if (backup.attached.isEmpty() || sameName(backup.attached, named))
        return named;
    return named + QStringLiteral(" (") + backup.attached + QLatin1Char(')');
}

} // namespace update
