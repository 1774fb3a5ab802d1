#include "protocol/ProtocolDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace update {

namespace {

QString underlined(const QString& heading, QChar line)
{
    return heading + QLatin1Char('\n') + QString(heading.size(), line) + QLatin1Char('\n');
}

// Columns as wide as their widest cell, two blanks between them; amounts set right.
QString table(const QStringList& columns, const std::vector<QStringList>& rows, const QList<int>& rightAligned)
{
    std::vector<qsizetype> widths(static_cast<std::size_t>(columns.size()), 0);
    const auto measure = [&widths](const QStringList& cells) {
        for (qsizetype at = 0; at < cells.size() && at < static_cast<qsizetype>(widths.size()); ++at)
            widths[static_cast<std::size_t>(at)] = std::max(widths[static_cast<std::size_t>(at)], cells.at(at).size());
    };
    measure(columns);
    for (const QStringList& row : rows)
        measure(row);
    const auto line = [&widths, &rightAligned](const QStringList& cells) {
        QString text;
        for (std::size_t at = 0; at < widths.size(); ++at) {
            const QString cell = static_cast<qsizetype>(at) < cells.size() ? cells.at(static_cast<qsizetype>(at)) : QString();
            const QString set = rightAligned.contains(static_cast<int>(at)) ? cell.rightJustified(widths[at]) : cell;
            text += at + 1 < widths.size() ? set.leftJustified(widths[at] + 2) : set;
        }
        // Blanks at the end only: a first column set right keeps its own.
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
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
            text += table(section.columns, section.rows, section.rightAligned);
        for (const QString& note : section.notes)
            text += note + QLatin1Char('\n');
    }
    for (const QString& who : signatures)
        text += QLatin1Char('\n') + who + QStringLiteral(": ") + QString(30, QLatin1Char('.')) + QStringLiteral("  ")
            + kSignatureDate + QStringLiteral(": ") + QString(12, QLatin1Char('.')) + QLatin1Char('\n');
    if (!mark.isEmpty())
        text += QStringLiteral("\n*** ") + mark + QStringLiteral(" ***\n");
    return text;
}

namespace {

QJsonArray strings(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

QJsonArray numbers(const QList<int>& values)
{
    QJsonArray list;
    for (const int value : values)
        list.append(value);
    return list;
}

QList<int> numberList(const QJsonValue& value)
{
    QList<int> list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toInt());
    return list;
}

QStringList listOf(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toString());
    return list;
}

} // namespace

QByteArray ProtocolDocument::toJson() const
{
    QJsonArray parts;
    for (const ProtocolSection& section : sections) {
        QJsonArray facts;
        for (const auto& [label, value] : section.facts)
            facts.append(QJsonArray{label, value});
        QJsonArray rows;
        for (const QStringList& row : section.rows)
            rows.append(strings(row));
        parts.append(QJsonObject{{QStringLiteral("heading"), section.heading},
                                 {QStringLiteral("facts"), facts},
                                 {QStringLiteral("columns"), strings(section.columns)},
                                 {QStringLiteral("widths"), numbers(section.widths)},
                                 {QStringLiteral("rows"), rows},
                                 {QStringLiteral("right"), numbers(section.rightAligned)},
                                 {QStringLiteral("total"), section.totalRow},
                                 {QStringLiteral("notes"), strings(section.notes)}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("title"), title},
                                     {QStringLiteral("mark"), mark},
                                     {QStringLiteral("sections"), parts},
                                     {QStringLiteral("signatures"), strings(signatures)}})
        .toJson(QJsonDocument::Compact);
}

ProtocolDocument ProtocolDocument::fromJson(const QByteArray& json)
{
    const QJsonObject whole = QJsonDocument::fromJson(json).object();
    ProtocolDocument document;
    document.title = whole.value(QStringLiteral("title")).toString();
    document.mark = whole.value(QStringLiteral("mark")).toString();
    document.signatures = listOf(whole.value(QStringLiteral("signatures")));
    for (const QJsonValue& part : whole.value(QStringLiteral("sections")).toArray()) {
        const QJsonObject object = part.toObject();
        ProtocolSection section;
        section.heading = object.value(QStringLiteral("heading")).toString();
        for (const QJsonValue& fact : object.value(QStringLiteral("facts")).toArray())
            section.facts.emplace_back(fact.toArray().at(0).toString(), fact.toArray().at(1).toString());
        section.columns = listOf(object.value(QStringLiteral("columns")));
        section.widths = numberList(object.value(QStringLiteral("widths")));
        section.rightAligned = numberList(object.value(QStringLiteral("right")));
        section.totalRow = object.value(QStringLiteral("total")).toBool();
        for (const QJsonValue& row : object.value(QStringLiteral("rows")).toArray())
            section.rows.push_back(listOf(row));
        section.notes = listOf(object.value(QStringLiteral("notes")));
        document.sections.push_back(std::move(section));
    }
    return document;
}

} // namespace update
