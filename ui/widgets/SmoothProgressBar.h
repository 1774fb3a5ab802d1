#pragma once

#include <QProgressBar>

namespace ui {

// A progress bar without text whose filled part is one smooth block in the selection-highlight
// colour on the window colour.
class SmoothProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit SmoothProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ui
