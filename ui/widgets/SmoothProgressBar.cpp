#include "ui/widgets/SmoothProgressBar.h"

#include <QPainter>

namespace ui {

SmoothProgressBar::SmoothProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
}

void SmoothProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);

    const int span = maximum() - minimum();
    if (span <= 0 || value() <= minimum())
        return;
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const qreal share = static_cast<qreal>(value() - minimum()) / span;
    const int filled = qRound(inside.width() * share);
    painter.fillRect(QRect(inside.left(), inside.top(), filled, inside.height()),
                     palette().color(QPalette::Highlight));
}

} // namespace ui
