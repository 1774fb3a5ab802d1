#pragma once

#include <QString>
#include <QStringList>
#include <QList>

#include <stdexcept>

namespace update {

// The text of one server-side object that the update installs, one entry per line.
struct ServerScript {
    QString name;
    QStringList lines;

    // The statement as sent: the lines joined by CR LF, with CR LF after the last one.
    QString statement() const;
};

// A text that the update would install is missing or empty: the program must not start.
class MissingServerScript : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the program carries the texts: its own resources.
inline const QString kBuiltInScripts = QStringLiteral(":/sql");

// One of the five server-side objects the update installs.
struct ServerObject {
    QString name;
    bool trigger = false; // else a procedure
};
// The five, in the order in which they must be installed: each one's body names only objects
// installed before it.
QList<ServerObject> serverObjects();

// The five objects' texts in the order of installation. Throws MissingServerScript for a missing
// or empty text.
QList<ServerScript> ServerScripts(const QString& directory = kBuiltInScripts);

} // namespace update
