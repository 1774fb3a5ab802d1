#include "ui/widgets/GlowButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace {
const QColor kFocusMark(0x1F3F7A);
}

GlowButton::GlowButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), fontColor_(palette().color(QPalette::WindowText))
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

void GlowButton::setFontColor(const QColor& color)
{
    fontColor_ = color;
    update();
}

GlowButton::Look GlowButton::currentLook() const
{
    if (!isEnabled())
        return Look::Disabled;
    if (isDown() || isChecked())
        return Look::Down;
    if (underMouse())
        return Look::Hot;
    return Look::Normal;
}

GlowButton::Gradient GlowButton::gradientFor(Look look)
{
    switch (look) {
    case Look::Hot:
        return {QColor(0xE1F0F5), QColor(0xB2D2F9), QColor(0xADC8F5), QColor(0xF4F8FF)};
    case Look::Down:
        return {QColor(0xCAD8F5), QColor(0xA0BDF9), QColor(0x9CB4F5), QColor(0xDCDFFF)};
    case Look::Disabled:
        return {QColor(0xF2F2F2), QColor(0xF2F2F2), QColor(0xB6B6B6), QColor(0xF2F2F2)};
    case Look::Normal:
        break;
    }
    return {QColor(0xF7FAFE), QColor(0xE3ECF8), QColor(0xD3E1F4), QColor(0xEEF4FC)};
}

void GlowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const Look look = currentLook();
    const Gradient colours = gradientFor(look);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = 3.0;
    const qreal middle = frame.top() + frame.height() / 2.0;

    QPainterPath outline;
    outline.addRoundedRect(frame, radius, radius);
    painter.save();
    painter.setClipPath(outline);

    QLinearGradient upper(0, frame.top(), 0, middle);
    upper.setColorAt(0, colours.from);
    upper.setColorAt(1, colours.to);
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width(), middle - frame.top()), upper);

    QLinearGradient lower(0, middle, 0, frame.bottom());
    lower.setColorAt(0, colours.mirrorFrom);
    lower.setColorAt(1, colours.mirrorTo);
    painter.fillRect(QRectF(frame.left(), middle, frame.width(), frame.bottom() - middle), lower);
    painter.restore();

    const QColor border = look == Look::Disabled ? QColor(0xB6B6B6)
                        : look == Look::Normal  ? QColor(0x9DB6D8)
                                                : QColor(0x7A9BD0);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    painter.setFont(font());
    painter.setPen(isEnabled() ? fontColor_ : QColor(0x8D8D8D));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());

    // Drawn whenever the button has the focus: the style's focus frame shows only after a key
    // moved the focus, so the start focus on "Konec" would be invisible.
    if (hasFocus()) {
        painter.setPen(QPen(kFocusMark, 1.0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame.adjusted(3.0, 3.0, -3.0, -3.0), radius - 1.0, radius - 1.0);
    }
}

} // namespace ui
