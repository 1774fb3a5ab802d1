#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace ui {

namespace {

constexpr int kNarrowest = 50;

// Only real families count: fontconfig answers for Tahoma with whatever it substitutes.
bool installed(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Glyph widths round differently at each stretch, so the first estimate is refined step by step.
void narrowTo(QWidget& widget, const std::function<qreal(const QFont&)>& measure, int width)
{
    QFont font = widget.font();
    qreal advance = measure(font);
    if (advance <= width || advance <= 0)
        return;
    int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
    stretch = std::max(kNarrowest, static_cast<int>(stretch * width / advance));
    font.setStretch(stretch);
    while (measure(font) > width && stretch > kNarrowest)
        font.setStretch(--stretch);
    widget.setFont(font);
}

} // namespace

QFont tahoma(int pixelHeight, bool bold)
{
    QFont font;
    if (installed(QStringLiteral("Tahoma"))) {
        font.setFamily(QStringLiteral("Tahoma"));
    } else {
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
        font.setStyleHint(QFont::SansSerif);
        font.setStretch(QFont::SemiCondensed);
    }
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void narrowToFit(QWidget& widget, const QString& text, int width)
{
    narrowTo(widget, [&text](const QFont& font) { return QFontMetricsF(font).horizontalAdvance(text); }, width);
}

void narrowMarkupToFit(QWidget& widget, const QString& markup, int width)
{
    const auto idealWidth = [&markup](const QFont& font) {
        QTextDocument document;
        document.setDefaultFont(font);
        document.setDocumentMargin(0);
        document.setHtml(markup);
        return document.idealWidth();
    };
    narrowTo(widget, idealWidth, width);
}

} // namespace ui
