#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace ui {

// A segmented ring that shows activity: the lit segment runs round the ring, one step per tick,
// while the indicator is started, shown and enabled.
class CircularProgress : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSegments = 12;
    static constexpr int kIntervalMs = 100;

    explicit CircularProgress(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isStarted() const { return started_; }
    // True while the ring actually advances: started, shown and enabled.
    bool isAnimating() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }
    int position() const { return position_; }

    QColor activeColor() const { return QColor(0x9F9FFF); }
    QColor inactiveColor() const { return QColor(0xC0C0C0); }
    QColor transitionColor() const { return QColor(0x0000A0); }
    QColor progressColor() const { return QColor(0x800040); }

    // The colour a segment has at the current position.
    QColor segmentColor(int segment) const;

signals:
    void advanced(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void advance();
    void syncTimer();

    QTimer timer_;
    bool started_ = false;
    int position_ = 0;
};

} // namespace ui
