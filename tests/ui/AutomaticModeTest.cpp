// Runs with automatic mode set for the whole process, as the entry point sets it.
#include "ProgramDir.h"

#include "ui/D08_Info.h"
#include "ui/D08_Main.h"
#include "update/AutomaticMode.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

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

TEST(AutomaticMode, ShowInfoReturnsAtOnceForEveryKind)
{
    ASSERT_TRUE(update::isAutomaticMode());
    for (int kind = 1; kind <= 5; ++kind) {
        DialogWatch watch;
        ui::ShowInfo(kind);
        EXPECT_EQ(watch.dialogsAfterEvents(), 0) << "kind " << kind;
    }
}

TEST(AutomaticMode, FailedConnectionThroughTheRealPromptOnlyChangesTheStatus)
{
    const ProgramDir dir;
    dir.writeAlias(QStringLiteral("127.0.0.1/1:QVT"));
    ui::TFormD08Main window(dir.path());
    DialogWatch watch;
    window.FormShow();
    EXPECT_EQ(window.Label10->text(), QStringLiteral("Database connect ERROR"));
    EXPECT_EQ(watch.dialogsAfterEvents(), 0);
    EXPECT_FALSE(dir.hasRunLog());
}

} // namespace
