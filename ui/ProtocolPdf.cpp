#include "ui/ProtocolPdf.h"

#include "update/TestHold.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

#include <unistd.h>

namespace ui {

using update::ProtocolDocument;
using update::ProtocolSection;

// A table row as the first run measured it: its height, and which of its first 64 cells fit on one line.
struct MeasuredRow {
    double height = 0;
    std::uint64_t oneLine = 0;
};

// The rows of one table as a draft of the document measured them, found again by all it holds.
struct MeasuredTable {
    QByteArray key;
    std::vector<MeasuredRow> rows;
};

namespace {

// How many lines a cell's text takes, when the first run knows it.
enum class Lines { Unknown, One, More };

constexpr std::size_t kKnownCells = 64;

// What a table's measure depends on: its head, widths and every cell (a digest of a few
// milliseconds for thousands of rows).
QByteArray tableKey(const ProtocolSection& section)
{
    QCryptographicHash digest(QCryptographicHash::Sha1);
    const auto add = [&digest](const QString& text) {
        digest.addData(QByteArrayView(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
        digest.addData(QByteArrayView("\x1f\x00", 2));
    };
    add(section.heading);
    for (const QString& column : section.columns)
        add(column);
    for (const int width : section.widths)
        add(QString::number(width));
    add(QString::number(section.totalRow));
    for (const QStringList& row : section.rows) {
        for (const QString& cell : row)
            add(cell);
        add(QStringLiteral("\x1e"));
    }
    return digest.result();
}

// The protocol's Czech text needs no shaping: without kerning, Qt places its glyphs straight from
// the font's advances, which takes a quarter less of the layout's time than shaping every cell.
QFont unshaped(const QString& family)
{
    QFont font(family);
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Lays the document out row by row straight onto the pages: nothing of the document is held as
// a layout, so time and memory grow with one page, not with the rows. Run twice: once to count
// the pages (nothing drawn), once to draw them with "page n of m". The first run keeps the height
// of each table row for the second (a number a row), so that each cell is measured once.
class PageLayout {
public:
    // `drafted`: the tables a draft measured, which the first run takes instead of measuring them
    // again; `measured`: where the first run puts every table it measured.
    PageLayout(QPdfWriter& writer, QPainter* painter, const ProtocolDocument& document, int pageCount,
               std::vector<MeasuredRow>& rowHeights, const std::vector<MeasuredTable>* drafted = nullptr,
               std::vector<MeasuredTable>* measured = nullptr)
        : writer_(writer), painter_(painter), document_(document), pageCount_(pageCount),
          area_(writer.pageLayout().paintRectPixels(writer.resolution())), rowHeights_(rowHeights), drafted_(drafted),
          measured_(measured)
    {
        body_ = unshaped(QStringLiteral("DejaVu Sans"));
        body_.setPointSizeF(9);
        bold_ = body_;
        bold_.setBold(true);
        table_ = body_;
        table_.setPointSizeF(7.5);
        tableBold_ = table_;
        tableBold_.setBold(true);
        title_ = bold_;
        title_.setPointSizeF(13);
        heading_ = bold_;
        heading_.setPointSizeF(10.5);
        mono_ = unshaped(QStringLiteral("DejaVu Sans Mono"));
        mono_.setPointSizeF(7);
        small_ = body_;
        small_.setPointSizeF(8);
        padding_ = writer.resolution() / 50.0;
        for (const QFont* font : {&body_, &bold_, &table_, &tableBold_, &title_, &heading_, &mono_, &small_})
            metrics_.emplace_back(font, QFontMetricsF(*font, &writer_));
    }

    // The number of pages laid out.
    int run()
    {
        beginPage();
        paragraph(document_.title, title_);
        for (std::size_t at = 0; at < document_.sections.size(); ++at) {
            const ProtocolSection& section = document_.sections[at];
            // The run and its backup fill the first page; the figures follow on their own.
            if (at == 1)
                newPage();
            this->section(section);
        }
        signatures();
        return page_;
    }

private:
    double bottom() const { return area_.height(); }
    double width() const { return area_.width(); }

    void beginPage()
    {
        ++page_;
        y_ = 0;
        if (!painter_)
            return;
        // The head and the foot of each page sit in the margins, a little away from the text.
        const int gap = writer_.resolution() / 10;
        QFont head = small_;
        head.setBold(!document_.mark.isEmpty());
        painter_->setFont(head);
        font_ = nullptr;
        painter_->setPen(document_.mark.isEmpty() ? QColor(Qt::black) : QColor(160, 0, 0));
        const QString headText =
            document_.mark.isEmpty() ? document_.title : document_.mark + QStringLiteral(" \u2013 ") + document_.title;
        painter_->drawText(QRectF(0, -gap - writer_.resolution() / 4.0, width(), writer_.resolution() / 4.0),
                           Qt::AlignLeft | Qt::AlignBottom, headText);
        use(small_);
        painter_->setPen(Qt::black);
        painter_->drawText(QRectF(0, bottom() + gap, width(), writer_.resolution() / 4.0), Qt::AlignRight | Qt::AlignTop,
                           QString::fromUtf8("Strana %1 z %2").arg(page_).arg(std::max(pageCount_, page_)));
    }

    void newPage()
    {
        if (painter_)
            writer_.newPage();
        beginPage();
    }

    // Room for `height` more on this page, or a new one; a block taller than a page starts one.
    void makeRoom(double height)
    {
        if (y_ > 0 && y_ + height > bottom())
            newPage();
    }

    const QFontMetricsF& metricsOf(const QFont& font) const
    {
        for (const auto& [which, metrics] : metrics_)
            if (which == &font)
                return metrics;
        throw std::logic_error("a font of its own has no metrics");
    }

    double textHeight(const QString& text, const QFont& font, double boxWidth, bool* oneLine = nullptr) const
    {
        const QFontMetricsF& metrics = metricsOf(font);
        // Most cells are a short word or a number: one line, measured without a wrapping layout.
        const bool fits =
            !text.isEmpty() && !text.contains(QLatin1Char('\n')) && metrics.horizontalAdvance(text) <= boxWidth;
        if (oneLine)
            *oneLine = fits;
        if (fits)
            return metrics.height();
        return metrics.boundingRect(QRectF(0, 0, std::max(boxWidth, 1.0), 1e9), Qt::TextWordWrap | Qt::AlignLeft, text)
            .height();
    }

    // The painter's font changed only when it differs: most cells follow one of their own font.
    void use(const QFont& font)
    {
        if (font_ == &font)
            return;
        painter_->setFont(font);
        font_ = &font;
    }

    void drawText(const QRectF& box, const QString& text, const QFont& font, int alignment, Lines lines = Lines::Unknown)
    {
        if (!painter_ || text.isEmpty())
            return;
        use(font);
        const QFontMetricsF& metrics = metricsOf(font);
        // What the first run measured is not measured again.
        if (lines == Lines::One && !(alignment & Qt::AlignRight)) {
            painter_->drawText(QPointF(box.left(), box.top() + metrics.ascent()), text);
            return;
        }
        if (lines != Lines::More && !text.contains(QLatin1Char('\n'))) {
            // One line that fits is drawn at its baseline, without a wrapping layout.
            const double advance = metrics.horizontalAdvance(text);
            if (advance <= box.width()) {
                const double x = (alignment & Qt::AlignRight) ? box.right() - advance : box.left();
                painter_->drawText(QPointF(x, box.top() + metrics.ascent()), text);
                return;
            }
        }
        painter_->drawText(box, alignment | Qt::TextWordWrap, text);
    }

    void paragraph(const QString& text, const QFont& font, double spaceAfter = -1)
    {
        const double height = textHeight(text, font, width());
        makeRoom(height);
        drawText(QRectF(0, y_, width(), height), text, font, Qt::AlignLeft | Qt::AlignTop);
        y_ += height + (spaceAfter < 0 ? metricsOf(font).height() * 0.5 : spaceAfter);
    }

    void section(const ProtocolSection& section)
    {
        const double headingHeight =
            section.heading.isEmpty() ? 0 : textHeight(section.heading, heading_, width()) * 1.6;
        // A heading is never left at a page's foot: it goes with the start of what it heads.
        double firstBlock = headingHeight;
        if (!section.columns.isEmpty()) {
            const std::vector<double> columns = columnWidths(section);
            firstBlock += rowHeight(section.columns, columns, tableBold_)
                + (section.rows.empty() ? 0 : rowHeight(section.rows.front(), columns, table_));
        } else if (!section.facts.empty()) {
            firstBlock += factHeight(section.facts.front().first, section.facts.front().second);
        } else if (!section.notes.isEmpty()) {
            firstBlock += textHeight(section.notes.front(), body_, width());
        }
        makeRoom(firstBlock);
        if (!section.heading.isEmpty()) {
            y_ += headingHeight * 0.2;
            drawText(QRectF(0, y_, width(), headingHeight), section.heading, heading_, Qt::AlignLeft | Qt::AlignTop);
            y_ += headingHeight * 0.8;
        }
        for (const auto& [label, value] : section.facts)
            fact(label, value);
        if (!section.columns.isEmpty())
            table(section);
        for (const QString& note : section.notes)
            paragraph(note, small_);
    }

    double labelWidth() const { return width() * 0.3; }

    const QFont& valueFont(const QString& label) const { return label == update::kChecksumLabel ? mono_ : body_; }

    double factHeight(const QString& label, const QString& value) const
    {
        return std::max(textHeight(label + QLatin1Char(':'), bold_, labelWidth() - padding_),
                        textHeight(value, valueFont(label), width() - labelWidth()))
            + padding_;
    }

    void fact(const QString& label, const QString& value)
    {
        const double height = factHeight(label, value);
        makeRoom(height);
        drawText(QRectF(0, y_, labelWidth() - padding_, height), label + QLatin1Char(':'), bold_,
                 Qt::AlignLeft | Qt::AlignTop);
        // A checksum is read character by character: a fixed width, no ligatures.
        drawText(QRectF(labelWidth(), y_, width() - labelWidth(), height), value, valueFont(label),
                 Qt::AlignLeft | Qt::AlignTop);
        y_ += height;
    }

    std::vector<double> columnWidths(const ProtocolSection& section) const
    {
        const auto count = static_cast<std::size_t>(section.columns.size());
        std::vector<double> shares(count, 1.0);
        if (section.widths.size() == section.columns.size())
            for (std::size_t at = 0; at < count; ++at)
                shares[at] = std::max(section.widths.at(static_cast<qsizetype>(at)), 1);
        const double sum = std::accumulate(shares.begin(), shares.end(), 0.0);
        for (double& share : shares)
            share = width() * share / sum;
        return shares;
    }

    MeasuredRow measureRow(const QStringList& cells, const std::vector<double>& columns, const QFont& font) const
    {
        MeasuredRow measured;
        for (std::size_t at = 0; at < columns.size(); ++at) {
            const QString cell = static_cast<qsizetype>(at) < cells.size() ? cells.at(static_cast<qsizetype>(at)) : QString();
            bool oneLine = false;
            measured.height = std::max(measured.height, textHeight(cell, font, columns[at] - 2 * padding_, &oneLine));
            if (oneLine && at < kKnownCells)
                measured.oneLine |= std::uint64_t{1} << at;
        }
        measured.height += 2 * padding_;
        return measured;
    }

    double rowHeight(const QStringList& cells, const std::vector<double>& columns, const QFont& font) const
    {
        return measureRow(cells, columns, font).height;
    }

    void row(const ProtocolSection& section, const QStringList& cells, const std::vector<double>& columns,
             const QFont& font, double height, bool shaded, const MeasuredRow* measured = nullptr)
    {
        if (!painter_) {
            y_ += height;
            return;
        }
        painter_->setPen(QPen(QColor(120, 120, 120), 0));
        if (shaded)
            painter_->fillRect(QRectF(0, y_, width(), height), QColor(232, 232, 232));
        // The row's lines first, then its texts: the pen changes twice a row, not twice a cell.
        double x = 0;
        for (const double column : columns) {
            painter_->drawRect(QRectF(x, y_, column, height));
            x += column;
        }
        painter_->setPen(Qt::black);
        x = 0;
        for (std::size_t at = 0; at < columns.size(); ++at) {
            const QRectF cell(x, y_, columns[at], height);
            const int alignment = section.rightAligned.contains(static_cast<int>(at)) ? Qt::AlignRight : Qt::AlignLeft;
            const QString text = static_cast<qsizetype>(at) < cells.size() ? cells.at(static_cast<qsizetype>(at)) : QString();
            const Lines lines = !measured || at >= kKnownCells ? Lines::Unknown
                : (measured->oneLine >> at) & 1U                ? Lines::One
                                                                : Lines::More;
            drawText(cell.adjusted(padding_, padding_, -padding_, -padding_), text, font, alignment | Qt::AlignTop, lines);
            x += columns[at];
        }
        y_ += height;
    }

    // A table row, measured in the first run (or taken from the draft's) and taken from it in the second.
    const MeasuredRow& measuredRow(const QStringList& cells, const std::vector<double>& columns, const QFont& font,
                                   const MeasuredRow* drafted)
    {
        if (!painter_) {
            rowHeights_.push_back(drafted ? *drafted : measureRow(cells, columns, font));
            return rowHeights_.back();
        }
        return rowHeights_.at(nextRow_++);
    }

    // The rows of this table as the draft measured them, when it did.
    const std::vector<MeasuredRow>* draftedRows(const ProtocolSection& section) const
    {
        if (painter_ || !drafted_)
            return nullptr;
        const QByteArray key = tableKey(section);
        for (const MeasuredTable& table : *drafted_)
            if (table.rows.size() == section.rows.size() && table.key == key)
                return &table.rows;
        return nullptr;
    }

    // Rows are whole on one page; each page of a table begins with the table's head.
    void table(const ProtocolSection& section)
    {
        const std::vector<double> columns = columnWidths(section);
        const double headHeight = rowHeight(section.columns, columns, tableBold_);
        makeRoom(headHeight);
        row(section, section.columns, columns, tableBold_, headHeight, true);
        const std::vector<MeasuredRow>* drafted = draftedRows(section);
        const std::size_t firstRow = rowHeights_.size();
        for (std::size_t at = 0; at < section.rows.size(); ++at) {
            const bool total = section.totalRow && at + 1 == section.rows.size();
            const QFont& font = total ? tableBold_ : table_;
            const MeasuredRow measured = measuredRow(section.rows[at], columns, font, drafted ? &(*drafted)[at] : nullptr);
            if (y_ + measured.height > bottom()) {
                newPage();
                row(section, section.columns, columns, tableBold_, headHeight, true);
            }
            row(section, section.rows[at], columns, font, measured.height, total, &measured);
        }
        if (measured_ && !painter_)
            measured_->push_back({tableKey(section), std::vector<MeasuredRow>(rowHeights_.begin()
                                                                                + static_cast<std::ptrdiff_t>(firstRow),
                                                                            rowHeights_.end())});
        y_ += padding_ * 4;
    }

    // At the end, after the figures they sign: a line for the signature and one for its date.
    void signatures()
    {
        if (document_.signatures.isEmpty())
            return;
        const double line = metricsOf(body_).height();
        makeRoom(line * (3 * document_.signatures.size() + 1));
        y_ += line;
        for (const QString& who : document_.signatures) {
            y_ += line * 1.5;
            drawText(QRectF(0, y_, width(), line), who + QStringLiteral(": ______________________________   ")
                         + update::kSignatureDate + QStringLiteral(": ______________"),
                     body_, Qt::AlignLeft | Qt::AlignTop);
            y_ += line * 1.5;
        }
    }

    QPdfWriter& writer_;
    QPainter* painter_;
    const ProtocolDocument& document_;
    const int pageCount_;
    const QRect area_;
    QFont body_, bold_, table_, tableBold_, title_, heading_, mono_, small_;
    std::vector<std::pair<const QFont*, QFontMetricsF>> metrics_;
    std::vector<MeasuredRow>& rowHeights_;
    const std::vector<MeasuredTable>* const drafted_;
    std::vector<MeasuredTable>* const measured_;
    std::size_t nextRow_ = 0;
    const QFont* font_ = nullptr;
    double padding_ = 0;
    double y_ = 0;
    int page_ = 0;
};

// The families the layout uses, opened once so that their files are read and parsed.
void loadFonts()
{
    for (const char* family : {"DejaVu Sans", "DejaVu Sans Mono"})
        for (const bool bold : {false, true}) {
            QFont font = unshaped(QString::fromLatin1(family));
            font.setBold(bold);
            static_cast<void>(QFontMetricsF(font).horizontalAdvance(QStringLiteral("Strana 1 z 1 \u2013 \u017e\u0161\u010d")));
        }
}

void setUp(QPdfWriter& writer)
{
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 22, 18, 18),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);
}

// Standard input up to its next NUL byte or to its end (`ended` then set): one document's JSON.
QByteArray nextInput(QByteArray& buffer, bool& ended)
{
    for (;;) {
        const qsizetype nul = buffer.indexOf('\0');
        if (nul >= 0) {
            const QByteArray document = buffer.left(nul);
            buffer.remove(0, nul + 1);
            return document;
        }
        if (ended)
            return std::exchange(buffer, QByteArray());
        // What has come, not a full buffer: a draft is measured while the rest is still to come.
        char chunk[65536];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            ended = true;
        else
            buffer.append(chunk, got);
    }
}

} // namespace

DraftMeasure measureDraft(const ProtocolDocument& draft)
{
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    QPdfWriter writer(&output);
    setUp(writer);
    auto tables = std::make_shared<std::vector<MeasuredTable>>();
    std::vector<MeasuredRow> rowHeights;
    PageLayout(writer, nullptr, draft, 0, rowHeights, nullptr, tables.get()).run();
    return tables;
}

QByteArray protocolPdf(const ProtocolDocument& document, const DraftMeasure& drafted)
{
    QByteArray pdf;
    QBuffer output(&pdf);
    output.open(QIODevice::WriteOnly);
    QPdfWriter writer(&output);
    setUp(writer);
    writer.setTitle(document.title);
    writer.setCreator(QStringLiteral("dph2012"));
    std::vector<MeasuredRow> rowHeights;
    const int pages = PageLayout(writer, nullptr, document, 0, rowHeights, drafted.get()).run();
    QPainter painter(&writer);
    PageLayout(writer, &painter, document, pages, rowHeights).run();
    painter.end();
    return pdf;
}

int runProtocolPdfProgram(int& argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly))
        return 2;
    // Started with the command: the fonts load while the document is still being made.
    loadFonts();
    QByteArray buffer;
    bool ended = false;
    QByteArray json = nextInput(buffer, ended);
    DraftMeasure drafted;
    // A draft, ended by a NUL byte, comes while the command checks the database; the document follows.
    if (!ended) {
        drafted = measureDraft(ProtocolDocument::fromJson(json));
        json = nextInput(buffer, ended);
    }
    // The command ended without a protocol to lay out.
    if (json.isEmpty())
        return 0;
    update::holdForTest("layout");
    const QByteArray pdf = protocolPdf(ProtocolDocument::fromJson(json), drafted);
    return output.write(pdf) == pdf.size() && output.flush() ? 0 : 2;
}

} // namespace ui
