#pragma once

#include <QColor>
#include <QPushButton>

namespace ui {

// A push button drawn as a two-part gradient ("glow"): an upper gradient and a lower mirror
// gradient, each with its own colour pair per state, and a dotted inner frame while it has the focus.
class GlowButton : public QPushButton {
    Q_OBJECT
public:
    struct Gradient {
        QColor from;
        QColor to;
        QColor mirrorFrom;
        QColor mirrorTo;
    };
    enum class Look { Normal, Hot, Down, Disabled };

    explicit GlowButton(const QString& text, QWidget* parent = nullptr);

    // The caption colour while enabled; a disabled button draws its caption grey.
    QColor fontColor() const { return fontColor_; }
    void setFontColor(const QColor& color);

    Look currentLook() const;
    static Gradient gradientFor(Look look);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fontColor_;
};

} // namespace ui
