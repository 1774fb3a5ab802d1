#pragma once

#include <QString>
#include <QStringList>
#include <QList>

namespace update {

// The text of one server-side object that the update installs, one entry per line.
struct ServerScript {
    QString name;
    QStringList lines;

    // The statement as sent: the lines joined by CR LF, with CR LF after the last one.
    QString statement() const;
};

// The five server-side objects in the order in which they must be installed: each one's body
// names only objects installed before it.
QList<ServerScript> ServerScripts();

} // namespace update
