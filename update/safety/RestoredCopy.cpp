#include "update/safety/RestoredCopy.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace update {

namespace {

QString systemWords()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::runtime_error unusable(const QString& copy, const QString& why)
{
    return std::runtime_error((QStringLiteral("obnovenou kopii %1 nelze prevzit: ").arg(copy) + why).toLocal8Bit().toStdString());
}

} // namespace

RestoredCopy::RestoredCopy(const QString& database, const QString& copy)
    : database_(database), copy_(copy),
      folder_(::open(QFile::encodeName(QFileInfo(database).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      databaseName_(QFile::encodeName(QFileInfo(database).fileName())), copyName_(QFile::encodeName(QFileInfo(copy).fileName())),
      file_(folder_.valid() ? ::openat(folder_.get(), copyName_.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1)
{
    if (!folder_.valid())
        throw unusable(copy, QStringLiteral("slozka: ") + systemWords());
    if (!file_.valid())
        throw unusable(copy, errno == ELOOP ? QStringLiteral("jeji nazev je symbolicky odkaz") : systemWords());
    if (QFileInfo(copy).absolutePath() != QFileInfo(database).absolutePath())
        throw unusable(copy, QStringLiteral("neni ve slozce databaze"));
    struct stat made {}, original {};
    if (::fstat(file_.get(), &made) != 0 || ::fstatat(folder_.get(), databaseName_.constData(), &original, AT_SYMLINK_NOFOLLOW) != 0)
        throw unusable(copy, systemWords());
    if (!S_ISREG(made.st_mode) || !S_ISREG(original.st_mode))
        throw unusable(copy, QStringLiteral("kopie nebo databaze neni obycejny soubor"));
    if (made.st_uid != ::geteuid() && made.st_uid != original.st_uid)
        throw unusable(copy, QStringLiteral("patri jinemu uzivateli (%1)").arg(made.st_uid));
    if (made.st_nlink != 1)
        throw unusable(copy, QStringLiteral("ma %1 nazvy").arg(made.st_nlink));
    device_ = made.st_dev;
    inode_ = made.st_ino;
}

QString RestoredCopy::leadsToCopy(const QByteArray& name) const
{
    struct stat now {};
    if (::fstatat(folder_.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return QFile::decodeName(name) + QStringLiteral(": ") + systemWords();
    if (now.st_dev != device_ || now.st_ino != inode_)
        return QStringLiteral("nazev %1 uz nevede k obnovene kopii").arg(QFile::decodeName(name));
    return {};
}

QString RestoredCopy::takeOverOwnerAndMode() const
{
    struct stat original {}, made {};
    if (::fstatat(folder_.get(), databaseName_.constData(), &original, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(original.st_mode))
        return QStringLiteral("databazi %1 nelze overit: ").arg(database_) + systemWords();
    if (::fstat(file_.get(), &made) != 0)
        return QStringLiteral("kopii %1 nelze overit: ").arg(copy_) + systemWords();
    if ((made.st_uid != original.st_uid || made.st_gid != original.st_gid)
        && ::fchown(file_.get(), original.st_uid, original.st_gid) != 0)
        return QStringLiteral("vlastnika %1 nelze nastavit jako u %2: ").arg(copy_, database_) + systemWords();
    if (::fchmod(file_.get(), original.st_mode & 07777) != 0)
        return QStringLiteral("prava %1 nelze nastavit jako u %2: ").arg(copy_, database_) + systemWords();
    return {};
}

QString RestoredCopy::stillUnderItsName() const
{
    return leadsToCopy(copyName_);
}

QString RestoredCopy::exchange() const
{
    if (const QString moved = leadsToCopy(copyName_); !moved.isEmpty())
        return moved;
    if (::renameat2(folder_.get(), databaseName_.constData(), folder_.get(), copyName_.constData(), RENAME_EXCHANGE) != 0)
        return QStringLiteral("zamena nazvu %1 a %2: ").arg(database_, copy_) + systemWords();
    const QString moved = leadsToCopy(databaseName_);
    if (moved.isEmpty())
        return {};
    // Whatever came under the copy's name meanwhile goes back to it; the database's name gets back what it had.
    if (::renameat2(folder_.get(), databaseName_.constData(), folder_.get(), copyName_.constData(), RENAME_EXCHANGE) != 0)
        return moved + QStringLiteral("; vraceni nazvu %1 selhalo: ").arg(database_) + systemWords();
    return moved + QStringLiteral("; nazvy vraceny");
}

QString RestoredCopy::rename(const QString& kept) const
{
    const QByteArray keptName = QFile::encodeName(QFileInfo(kept).fileName());
    if (::renameat2(folder_.get(), copyName_.constData(), folder_.get(), keptName.constData(), RENAME_NOREPLACE) != 0)
        return QStringLiteral("prejmenovani na %1: ").arg(kept) + systemWords();
    return {};
}

bool RestoredCopy::removeIfStillUnderItsName() const
{
    return leadsToCopy(copyName_).isEmpty() && ::unlinkat(folder_.get(), copyName_.constData(), 0) == 0;
}

} // namespace update
