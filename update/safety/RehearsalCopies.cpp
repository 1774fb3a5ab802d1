#include "update/safety/RehearsalCopies.h"

#include "update/safety/OwnFile.h"

#include <QDir>
#include <QFile>

#include <optional>

namespace update {

namespace {

// One line per copy: the server, a tab, the copy's path as that server sees it, a tab, its mark.
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
        const QList<QByteArray> fields = line.split(kSeparator);
        if (fields.size() < 2)
            continue;
        const Entry entry{QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1]),
                          fields.size() > 2 ? QString::fromUtf8(fields[2]) : QString()};
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
        content += entry.server.toUtf8() + kSeparator + entry.copy.toUtf8() + kSeparator + entry.mark.toUtf8() + '\n';
    return replaceOwnFile(filePath_, content);
}

QString RehearsalCopies::add(const QString& server, const QString& copy, const QString& mark) const
{
    for (const QString& field : {server, copy, mark})
        if (field.contains(QLatin1Char(kSeparator)) || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')))
            return QStringLiteral("%1: nazev kopie nelze zaznamenat").arg(filePath_);
    QList<Entry> entries = read();
    const Entry entry{server, copy, mark};
    if (entries.contains(entry))
        return {};
    entries.append(entry);
    const QString failure = write(entries);
    return failure.isEmpty() ? failure : filePath_ + QStringLiteral(": ") + failure;
}

void RehearsalCopies::remove(const QString& server, const QString& copy) const
{
    QList<Entry> entries = read();
    if (entries.removeIf([&](const Entry& entry) { return entry.server == server && entry.copy == copy; }) > 0)
        write(entries);
}

QList<RehearsalCopies::Copy> RehearsalCopies::on(const QString& server) const
{
    QList<Copy> copies;
    for (const Entry& entry : read())
        if (entry.server == server)
            copies.append({entry.copy, entry.mark});
    return copies;
}

} // namespace update
