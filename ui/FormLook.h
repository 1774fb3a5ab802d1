#pragma once

#include <QString>

class QScreen;
class QWidget;

namespace ui {

inline const QString kFormCaption = QStringLiteral("Kalmor DPH 2012");

// The look both windows share: the caption, a fixed client size, Tahoma 11 px and the
// button-face background.
void applyFormLook(QWidget& form, int width, int height);

// Centres the form on the screen, if there is one.
void centreOnScreen(QWidget& form, const QScreen* screen);

} // namespace ui
