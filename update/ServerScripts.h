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

// The five server-side objects in the order in which they must be installed: each one's body
// names only objects installed before it. Throws MissingServerScript for a missing or empty text.
QList<ServerScript> ServerScripts(const QString& directory = kBuiltInScripts);

} // namespace update
