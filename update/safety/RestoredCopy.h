#pragma once

#include "update/safety/Descriptor.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace update {

// The copy restored beside the database, held open once it is whole: its owner and mode are set
// through that descriptor, the names are exchanged within the folder opened once, and each name
// is checked to lead to the very file opened, so a name swapped for a link changes nothing
// beyond this program's own copy.
class RestoredCopy {
public:
    // Throws std::runtime_error, in the log's words, when the folder cannot be opened or the
    // copy's name holds a link, or anything but a plain file of this user (or of the database
    // file's owner, a server's account) with one name.
    RestoredCopy(const QString& database, const QString& copy);

    // Gives the copy the owner and mode of the database file; empty when done, else why not.
    QString takeOverOwnerAndMode() const;
    // Empty when the copy's name still leads to the file opened, else why not.
    QString stillUnderItsName() const;
    // Exchanges the database's name with the copy's in one step; the database's name must then
    // lead to the file opened, else the names are exchanged back. Empty when done, else why not.
    QString exchange() const;
    // After the exchange: the copy's name, today's database now, becomes `kept`, never over
    // another file. Empty when done, else why not.
    QString rename(const QString& kept) const;
    // Removes the copy under its name when that name still leads to the file opened.
    bool removeIfStillUnderItsName() const;

private:
    // Empty when `name` in the folder is the file opened, else why not.
    QString leadsToCopy(const QByteArray& name) const;

    QString database_;
    QString copy_;
    const Descriptor folder_;
    const QByteArray databaseName_;
    const QByteArray copyName_;
    const Descriptor file_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace update
