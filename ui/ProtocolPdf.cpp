#include "ui/ProtocolPdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace ui {

using update::ProtocolDocument;
using update::ProtocolSection;

namespace {

constexpr std::size_t kRowsPerTable = 100;

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString html(const ProtocolDocument& document)
{
    QString page = QStringLiteral("<h2>") + escaped(document.title) + QStringLiteral("</h2>");
    for (std::size_t at = 0; at < document.sections.size(); ++at) {
        const ProtocolSection& section = document.sections[at];
        if (!section.heading.isEmpty())
            page += QStringLiteral("<h3>") + escaped(section.heading) + QStringLiteral("</h3>");
        if (!section.facts.empty()) {
            page += QStringLiteral("<table cellspacing='0' cellpadding='2'>");
            // A checksum is read character by character: a fixed width, no ligatures, on one line.
            for (const auto& [label, value] : section.facts)
                page += QStringLiteral("<tr><td><b>") + escaped(label) + QStringLiteral(":</b></td><td>")
                    + (label == update::kChecksumLabel
                           ? QStringLiteral("<span style='font-family: \"DejaVu Sans Mono\"; font-size: 7pt'>") + escaped(value)
                               + QStringLiteral("</span>")
                           : escaped(value))
                    + QStringLiteral("</td></tr>");
            page += QStringLiteral("</table>");
        }
        if (!section.columns.isEmpty()) {
            QString head = QStringLiteral("<table border='1' cellspacing='0' cellpadding='3' width='100%' style='font-size: "
                                          "7.5pt'><thead><tr>");
            for (qsizetype column = 0; column < section.columns.size(); ++column)
                head += (column < section.widths.size() ? QStringLiteral("<th align='left' width='%1%'>").arg(section.widths.at(column))
                                                        : QStringLiteral("<th align='left'>"))
                    + escaped(section.columns.at(column)) + QStringLiteral("</th>");
            head += QStringLiteral("</tr></thead>");
            // The layout of one table grows faster than its rows: a long one goes as many short ones.
            for (std::size_t row = 0; row < section.rows.size() || row == 0; row += kRowsPerTable) {
                page += head;
                for (std::size_t at = row; at < std::min(row + kRowsPerTable, section.rows.size()); ++at) {
                    page += QStringLiteral("<tr>");
                    for (const QString& cell : section.rows[at])
                        page += QStringLiteral("<td>") + escaped(cell) + QStringLiteral("</td>");
                    page += QStringLiteral("</tr>");
                }
                page += QStringLiteral("</table>");
            }
        }
        for (const QString& note : section.notes)
            page += QStringLiteral("<p>") + escaped(note) + QStringLiteral("</p>");
        if (at == 0 && !document.signatures.isEmpty()) {
            page += QStringLiteral("<br/><table width='100%' cellpadding='12'><tr>");
            for (const QString& who : document.signatures)
                page += QStringLiteral("<td>") + escaped(who) + QStringLiteral(":<br/><br/><br/>______________________________</td>");
            page += QStringLiteral("</tr></table>");
        }
        if (at == 0)
            page += QStringLiteral("<p style='page-break-after: always'></p>");
    }
    return page;
}

} // namespace

QByteArray protocolPdf(const ProtocolDocument& document)
{
    QByteArray pdf;
    QBuffer output(&pdf);
    output.open(QIODevice::WriteOnly);
    QPdfWriter writer(&output);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 22, 18, 18),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);
    writer.setTitle(document.title);
    writer.setCreator(QStringLiteral("dph2012"));
    const QRect page = writer.pageLayout().paintRectPixels(writer.resolution());
    // The head and the foot of each page sit in the margins, a little away from the text.
    const int gap = writer.resolution() / 10;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9);

    QTextDocument text;
    text.documentLayout()->setPaintDevice(&writer);
    text.setDefaultFont(font);
    text.setHtml(html(document));
    text.setPageSize(QSizeF(page.width(), page.height()));
    const int pages = text.pageCount();

    QPainter painter(&writer);
    QFont small = font;
    small.setPointSizeF(8);
    for (int at = 0; at < pages; ++at) {
        if (at > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -static_cast<double>(at) * page.height());
        text.drawContents(&painter, QRectF(0, static_cast<double>(at) * page.height(), page.width(), page.height()));
        painter.restore();
        QFont head = small;
        head.setBold(!document.mark.isEmpty());
        painter.setFont(head);
        painter.setPen(document.mark.isEmpty() ? QColor(Qt::black) : QColor(160, 0, 0));
        const QString headText = document.mark.isEmpty() ? document.title : document.mark + QStringLiteral(" \u2013 ") + document.title;
        painter.drawText(QRect(0, -gap - writer.resolution() / 4, page.width(), writer.resolution() / 4),
                         Qt::AlignLeft | Qt::AlignBottom, headText);
        painter.setFont(small);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, page.height() + gap, page.width(), writer.resolution() / 4), Qt::AlignRight | Qt::AlignTop,
                         QString::fromUtf8("Strana %1 z %2").arg(at + 1).arg(pages));
    }
    painter.end();
    return pdf;
}

int runProtocolPdfProgram(int& argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    QFile input;
    QFile output;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 2;
    const QByteArray pdf = protocolPdf(ProtocolDocument::fromJson(input.readAll()));
    return output.write(pdf) == pdf.size() && output.flush() ? 0 : 2;
}

} // namespace ui
