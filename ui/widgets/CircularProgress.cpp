#include "ui/widgets/CircularProgress.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace ui {

CircularProgress::CircularProgress(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &CircularProgress::advance);
}

void CircularProgress::start()
{
    started_ = true;
    syncTimer();
}

void CircularProgress::stop()
{
    started_ = false;
    syncTimer();
}

void CircularProgress::syncTimer()
{
    const bool run = started_ && isVisible() && isEnabled();
    if (run && !timer_.isActive())
        timer_.start();
    else if (!run && timer_.isActive())
        timer_.stop();
}

void CircularProgress::advance()
{
    position_ = (position_ + 1) % kSegments;
    update();
    emit advanced(position_);
}

QColor CircularProgress::segmentColor(int segment) const
{
    const int behind = (position_ - segment + kSegments) % kSegments;
    if (behind == 0)
        return progressColor();
    if (behind == 1)
        return transitionColor();
    if (behind <= 3)
        return activeColor();
    return inactiveColor();
}

void CircularProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const qreal side = std::min(width(), height());
    const qreal outer = side / 2.0 - 1.0;
    const qreal inner = outer * 0.55;
    const qreal sweep = 360.0 / kSegments;
    const qreal gap = 6.0;
    const QPointF centre(width() / 2.0, height() / 2.0);
    const QRectF outerBox(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerBox(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);

    for (int segment = 0; segment < kSegments; ++segment) {
        // Segment 0 sits at twelve o'clock; the ring runs clockwise.
        const qreal startAngle = 90.0 - segment * sweep + (sweep - gap) / 2.0;
        const qreal span = -(sweep - gap);
        QPainterPath path;
        path.arcMoveTo(outerBox, startAngle);
        path.arcTo(outerBox, startAngle, span);
        path.arcTo(innerBox, startAngle + span, -span);
        path.closeSubpath();
        painter.setBrush(segmentColor(segment));
        painter.drawPath(path);
    }
}

void CircularProgress::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    syncTimer();
}

void CircularProgress::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    syncTimer();
}

void CircularProgress::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        syncTimer();
}

} // namespace ui
