#pragma once

#include <QString>
#include <QStringList>

namespace update {

// The file beside the run log in which this program keeps the rehearsal copies it has made and
// not yet seen dropped. Nothing another client writes (the run log holds their names) can add a
// copy here.
inline const QString kRehearsalCopiesFileName = QStringLiteral("QVTDPH2012-zkouska.stav");

// That record, for the program directory. A copy is kept with the server it is on ("host/3050:",
// empty for the embedded engine), where alone it is looked for, and with the mark the rehearsal
// puts inside it (its database's description): only a database that carries it is dropped.
class RehearsalCopies {
public:
    explicit RehearsalCopies(const QString& programDir);

    struct Copy {
        QString path;
        QString mark;
    };

    // Before the copy is made. Empty text when it is recorded, else why not.
    QString add(const QString& server, const QString& copy, const QString& mark) const;
    // Once the copy is gone.
    void remove(const QString& server, const QString& copy) const;
    // The copies recorded on that server, oldest first.
    QList<Copy> on(const QString& server) const;

private:
    struct Entry {
        QString server;
        QString copy;
        QString mark;
        bool operator==(const Entry&) const = default;
    };
    QList<Entry> read() const;
    QString write(const QList<Entry>& entries) const;

    QString filePath_;
};

} // namespace update
