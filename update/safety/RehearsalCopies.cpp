#include "update/safety/RehearsalCopies.h"

#include "update/safety/OwnFile.h"

#include <QDir>
#include <QFile>

#include <optional>

namespace update {

namespace {

// One line per copy: the server, a tab, the copy's path as that server sees it.
constexpr char kSeparator = '\t';

} // namespace

RehearsalCopies::RehearsalCopies(const QString& programDir)
    : filePath_(QDir(programDir).filePath(kRehearsalCopiesFileName))
{
}

QList<RehearsalCopies::Entry> RehearsalCopies::read() const
{
    const std::optional<QByteArray> content = readOwnFile(filePath_);
    QList<Entry> entries;
    if (!content)
        return entries;
    for (const QByteArray& line : content->split('\n')) {
        const qsizetype separator = line.indexOf(kSeparator);
        if (separator < 0)
            continue;
        const Entry entry{QString::fromUtf8(line.left(separator)), QString::fromUtf8(line.mid(separator + 1))};
        if (!entry.copy.isEmpty() && !entries.contains(entry))
            entries.append(entry);
    }
    return entries;
}

QString RehearsalCopies::write(const QList<Entry>& entries) const
{
    if (entries.isEmpty())
        return QFile::remove(filePath_) || !QFile::exists(filePath_) ? QString() : QStringLiteral("nelze odstranit");
    QByteArray content;
    for (const Entry& entry : entries)
        content += entry.server.toUtf8() + kSeparator + entry.copy.toUtf8() + '\n';
    return replaceOwnFile(filePath_, content);
}

QString RehearsalCopies::add(const QString& server, const QString& copy) const
{
    if (server.contains(QLatin1Char(kSeparator)) || copy.contains(QLatin1Char('\n')) || copy.contains(QLatin1Char('\r')))
        return QStringLiteral("%1: nazev kopie nelze zaznamenat").arg(filePath_);
    QList<Entry> entries = read();
    const Entry entry{server, copy};
    if (entries.contains(entry))
        return {};
    entries.append(entry);
    const QString failure = write(entries);
    return failure.isEmpty() ? failure : filePath_ + QStringLiteral(": ") + failure;
}

void RehearsalCopies::remove(const QString& server, const QString& copy) const
{
    QList<Entry> entries = read();
    if (entries.removeAll(Entry{server, copy}) > 0)
        write(entries);
}

QStringList RehearsalCopies::on(const QString& server) const
{
    QStringList copies;
    for (const Entry& entry : read())
        if (entry.server == server)
            copies.append(entry.copy);
    return copies;
}

} // namespace update
