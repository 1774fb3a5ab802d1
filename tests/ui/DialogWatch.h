#pragma once

#include "ui/D08_Info.h"

#include <QApplication>
#include <QTimer>

// Counts the dialogs that came up meanwhile and closes them, so a fault shows as a failure
// rather than a test that waits for ever.
class DialogWatch {
public:
    DialogWatch()
    {
        QTimer::singleShot(0, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++dialogs_;
                modal->close();
            }
        });
    }
    int dialogsAfterEvents()
    {
        QApplication::processEvents();
        for (QWidget* widget : QApplication::topLevelWidgets())
            dialogs_ += qobject_cast<ui::TFormD08Info*>(widget) ? 1 : 0;
        return dialogs_;
    }

private:
    int dialogs_ = 0;
};
