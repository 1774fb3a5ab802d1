#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

// Only real families count: fontconfig answers for Tahoma with whatever it substitutes.
bool installed(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

void narrowTo(QWidget& widget, qreal advance, int width)
{
    if (advance <= width || advance <= 0)
        return;
    QFont font = widget.font();
    const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
    font.setStretch(std::max(50, static_cast<int>(stretch * width / advance)));
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
    narrowTo(widget, QFontMetrics(widget.font()).horizontalAdvance(text), width);
}

void narrowMarkupToFit(QWidget& widget, const QString& markup, int width)
{
    QTextDocument document;
    document.setDefaultFont(widget.font());
    document.setDocumentMargin(0);
    document.setHtml(markup);
    narrowTo(widget, document.idealWidth(), width);
}

} // namespace ui
