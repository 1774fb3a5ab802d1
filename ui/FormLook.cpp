#include "ui/FormLook.h"

#include "ui/Fonts.h"

#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace ui {

void applyFormLook(QWidget& form, int width, int height)
{
    form.setWindowTitle(kFormCaption);
    form.setFixedSize(width, height);
    form.setFont(tahoma(11));
    QPalette colours = form.palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    form.setPalette(colours);
    form.setAutoFillBackground(true);
}

void centreOnScreen(QWidget& form, const QScreen* screen)
{
    if (screen)
        form.move(screen->availableGeometry().center() - form.rect().center());
}

} // namespace ui
