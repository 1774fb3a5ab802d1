#include "update/safety/LocalBackupFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

bool ownedByUserOrRoot(const struct stat& status)
{
    return status.st_uid == ::geteuid() || status.st_uid == 0;
}

// The folder's real path, or empty when it is not there.
QString realFolder(const QString& folder)
{
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(QFile::encodeName(folder).constData(), nullptr),
                                                           &std::free);
    return real ? QFile::decodeName(real.get()) : QString();
}

} // namespace

QString localBackupRefusal(const QString& wanted)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(wanted).constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return QStringLiteral("Backup=%1 je symbolicky odkaz: zaloha se pres odkaz nezapisuje, uvedte skutecny soubor")
            .arg(wanted);
    const QString folder = realFolder(QFileInfo(wanted).absolutePath());
    if (folder.isEmpty())
        return {};
    // Every folder from the root down: whoever may change one could put a link anywhere below it.
    QStringList folders = {QStringLiteral("/")};
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        folders.append((folders.size() == 1 ? QString() : folders.last()) + QLatin1Char('/') + part);
    for (const QString& path : folders) {
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
            return QStringLiteral("slozku %1 na ceste k zaloze nelze overit").arg(path);
        if (!ownedByUserOrRoot(status))
            return QStringLiteral("slozka %1 na ceste k zaloze patri jinemu uzivateli, ktery by v ni mohl podvrhnout "
                                  "odkaz: zvolte slozku, jejiz cestu meni jen vy nebo root")
                .arg(path);
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (status.st_mode & S_ISVTX) == 0)
            return QStringLiteral("do slozky %1 na ceste k zaloze smi zapisovat i jini uzivatele, kteri by v ni mohli "
                                  "podvrhnout odkaz: zvolte slozku, do jejiz cesty smi zapisovat jen vlastnik (chmod go-w)")
                .arg(path);
    }
    return {};
}

QString unfinishedBackupName(const QString& wanted, int counter)
{
    return counter <= 1 ? wanted + kUnfinishedBackupSuffix : wanted + QStringLiteral("-%1").arg(counter) + kUnfinishedBackupSuffix;
}

QStringList unfinishedBackups(const QString& wanted)
{
    const QFileInfo backup(wanted);
    const QString stem = backup.completeBaseName().isEmpty() ? backup.fileName() : backup.completeBaseName();
    QStringList found;
    const QDir folder = backup.absoluteDir();
    for (const QString& name : folder.entryList({stem + QLatin1Char('*') + kUnfinishedBackupSuffix}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = folder.filePath(name);
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode)
            && status.st_uid == ::geteuid())
            found.append(path);
    }
    return found;
}

} // namespace update
