#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace update {

// The fact whose value is a checksum, read character by character.
inline const QString kChecksumLabel = QStringLiteral("SHA-256");
// Beside each signature: the day it was signed.
inline const QString kSignatureDate = QStringLiteral("Datum");

// A part of the night's protocol: a heading, facts ("label: value"), a table and notes, each
// possibly empty.
struct ProtocolSection {
    QString heading;
    std::vector<std::pair<QString, QString>> facts;
    QStringList columns;
    // Each column's share of the page's width in percent, when the layout should not choose.
    QList<int> widths;
    std::vector<QStringList> rows;
    // Columns of amounts and counts, set right; the last row sums the others (drawn bold).
    QList<int> rightAligned;
    bool totalRow = false;
    QStringList notes;
};

// The night's protocol as a document, before it is laid out as PDF or as text.
struct ProtocolDocument {
    QString title;
    // On every page of a rehearsal's protocol; empty otherwise.
    QString mark;
    // The first is the first page; the rest follow from the second page on. The lines where the
    // operator and the accountant sign, each with its date, close the document, after the figures.
    std::vector<ProtocolSection> sections;
    QStringList signatures;

    // Plain text for mail or a terminal: the same content, tables in aligned columns.
    QString text() const;

    // The document as JSON, for the process that lays it out as PDF, and back; a text that is
    // not such JSON gives an empty document.
    QByteArray toJson() const;
    static ProtocolDocument fromJson(const QByteArray& json);
};

} // namespace update
