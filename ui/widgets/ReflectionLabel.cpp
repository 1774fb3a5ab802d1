#include "ui/widgets/ReflectionLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace ui {

ReflectionLabel::ReflectionLabel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ReflectionLabel::setMarkup(const QString& markup)
{
    markup_ = markup;
    update();
}

void ReflectionLabel::setReflectionHeight(int pixels)
{
    reflectionHeight_ = std::max(0, pixels);
    update();
}

QImage ReflectionLabel::renderText() const
{
    QTextDocument document;
    document.setDefaultFont(font());
    document.setDocumentMargin(0);
    document.setHtml(markup_);
    const int textHeight = std::max(1, height() - reflectionHeight_);

    QImage image(size().isEmpty() ? QSize(1, 1) : QSize(width(), textHeight), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Lift the text so that its descent runs into the reflection band, as the glyphs sit on it.
    const qreal glyphHeight = document.documentLayout()->documentSize().height();
    painter.translate(0, std::min(0.0, textHeight - glyphHeight + 3.0));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    document.documentLayout()->draw(&painter, context);
    return image;
}

void ReflectionLabel::paintEvent(QPaintEvent*)
{
    const QImage text = renderText();
    QPainter painter(this);
    painter.drawImage(0, 0, text);
    if (reflectionHeight_ == 0)
        return;

    QImage reflection = text.mirrored(false, true).copy(0, 0, text.width(), reflectionHeight_);
    QPainter fade(&reflection);
    fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient alpha(0, 0, 0, reflectionHeight_);
    alpha.setColorAt(0, QColor(0, 0, 0, 110));
    alpha.setColorAt(1, QColor(0, 0, 0, 0));
    fade.fillRect(reflection.rect(), alpha);
    fade.end();
    painter.drawImage(0, text.height(), reflection);
}

} // namespace ui
