#include "commands/ProtocolDocument.h"

#include <algorithm>

namespace update {

namespace {

QString underlined(const QString& heading, QChar line)
{
    return heading + QLatin1Char('\n') + QString(heading.size(), line) + QLatin1Char('\n');
}

// Columns as wide as their widest cell, two blanks between them.
QString table(const QStringList& columns, const std::vector<QStringList>& rows)
{
    std::vector<qsizetype> widths(static_cast<std::size_t>(columns.size()), 0);
    const auto measure = [&widths](const QStringList& cells) {
        for (qsizetype at = 0; at < cells.size() && at < static_cast<qsizetype>(widths.size()); ++at)
            widths[static_cast<std::size_t>(at)] = std::max(widths[static_cast<std::size_t>(at)], cells.at(at).size());
    };
    measure(columns);
    for (const QStringList& row : rows)
        measure(row);
    const auto line = [&widths](const QStringList& cells) {
        QString text;
        for (std::size_t at = 0; at < widths.size(); ++at) {
            const QString cell = static_cast<qsizetype>(at) < cells.size() ? cells.at(static_cast<qsizetype>(at)) : QString();
            text += at + 1 < widths.size() ? cell.leftJustified(widths[at] + 2) : cell;
        }
        return text.trimmed() + QLatin1Char('\n');
    };
    QString text = line(columns);
    qsizetype total = 0;
    for (const qsizetype width : widths)
        total += width + 2;
    text += QString(std::max<qsizetype>(total - 2, 0), QLatin1Char('-')) + QLatin1Char('\n');
    for (const QStringList& row : rows)
        text += line(row);
    return text;
}

} // namespace

QString ProtocolDocument::text() const
{
    QString text;
    if (!mark.isEmpty())
        text += QStringLiteral("*** ") + mark + QStringLiteral(" ***\n\n");
    text += underlined(title, QLatin1Char('='));
    for (std::size_t at = 0; at < sections.size(); ++at) {
        const ProtocolSection& section = sections[at];
        text += QLatin1Char('\n');
        if (!section.heading.isEmpty())
            text += underlined(section.heading, QLatin1Char('-'));
        for (const auto& [label, value] : section.facts)
            text += label + QStringLiteral(": ") + value + QLatin1Char('\n');
        if (!section.columns.isEmpty())
            text += table(section.columns, section.rows);
        for (const QString& note : section.notes)
            text += note + QLatin1Char('\n');
        if (at == 0)
            for (const QString& who : signatures)
                text += QLatin1Char('\n') + who + QStringLiteral(": ") + QString(30, QLatin1Char('.')) + QLatin1Char('\n');
    }
    if (!mark.isEmpty())
        text += QStringLiteral("\n*** ") + mark + QStringLiteral(" ***\n");
    return text;
}

} // namespace update
