#include "update/safety/LocalBackupFile.h"

#include "update/safety/OwnFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

QString localBackupRefusal(const QString& wanted)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(wanted).constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return QStringLiteral("Backup=%1 je symbolicky odkaz: zaloha se pres odkaz nezapisuje, uvedte skutecny soubor")
            .arg(wanted);
    const QString folder = QFileInfo(wanted).absolutePath();
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return {};
    if (status.st_uid != ::geteuid() && status.st_uid != 0)
        return QStringLiteral("slozka zalohy %1 patri jinemu uzivateli, ktery by v ni mohl podvrhnout odkaz: zvolte "
                              "slozku vlastni")
            .arg(folder);
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("do slozky zalohy %1 smi zapisovat i jini uzivatele, kteri by v ni mohli podvrhnout odkaz: "
                              "zvolte slozku, do niz smi zapisovat jen vlastnik (chmod go-w)")
            .arg(folder);
    return {};
}

bool localNameTaken(const QString& path)
{
    switch (const int error = createOwnFile(path)) {
    case 0:
        return false;
    case EEXIST:
        return true;
    case ENOENT:
        return false;
    default:
        throw std::runtime_error(QFile::encodeName(path).toStdString() + ": " + std::strerror(error));
    }
}

} // namespace update
