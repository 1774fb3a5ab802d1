#pragma once

#include <QFont>

class QWidget;

namespace ui {

// Tahoma at a character height in pixels; where Tahoma is missing, a semi-condensed sans font of
// about its width stands in.
QFont tahoma(int pixelHeight, bool bold = false);

// Narrows the widget's font just enough for the text to fit in the width: a stand-in font may run
// wider than Tahoma, and the controls have fixed sizes.
void narrowToFit(QWidget& widget, const QString& text, int width);
// The same for rich text, whose widest line is measured as the widget's font lays it out.
void narrowMarkupToFit(QWidget& widget, const QString& markup, int width);

} // namespace ui
