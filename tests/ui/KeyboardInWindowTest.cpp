// The main window driven by keyboard as an operator drives it.

#include "FreshDatabase.h"
#include "ProgramDir.h"
#include "RunLogEntries.h"

#include "ui/D08_Main.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class KeyboardInWindow : public testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    const testsupport::FreshDatabase database;
    ProgramDir dir;
    const bool settingsWritten_ = (dir.writeAlias(QString::fromStdString(database.path())), true);
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
};

TEST_F(KeyboardInWindow, TabEntersTheOptionsAtTheSelectedOneAndTheArrowsMoveTheSelectionWithTheFocus)
{
    // Shift+Tab from "Konec", Down to b), Tab to "Konec", Tab to "Spusť pouze krok 7", Space.
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), window.AdvOfficeRadioGroup1->item(0));
    press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), window.AdvOfficeRadioGroup1->item(1));
    EXPECT_EQ(window.AdvOfficeRadioGroup1->itemIndex(), 1);
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window.AdvGlowButton3);
    press(Qt::Key_Space);
    EXPECT_EQ(testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log")).value(1),
              QStringLiteral("     volba b   | "));
    // Back into the group: the selected option again.
    window.AdvGlowButton2->setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), window.AdvOfficeRadioGroup1->item(1))
        << QApplication::focusWidget()->objectName().toStdString();
}

TEST_F(KeyboardInWindow, TheFocusedCommandButtonShowsAMarkFromTheStart)
{
    // "Konec" has had the focus since the window opened; no key has been pressed yet.
    ASSERT_EQ(QApplication::focusWidget(), window.AdvGlowButton2);
    const QImage focused = window.AdvGlowButton2->grab().toImage();
    press(Qt::Key_Tab);
    const QImage unfocused = window.AdvGlowButton2->grab().toImage();
    int marked = 0; // inside the button, clear of its border and caption
    for (int x = 2; x < focused.width() - 2; ++x)
        for (const int y : {3, 4, focused.height() - 5, focused.height() - 4})
            marked += focused.pixelColor(x, y) != unfocused.pixelColor(x, y) ? 1 : 0;
    EXPECT_GT(marked, focused.width() / 2);
}

} // namespace
