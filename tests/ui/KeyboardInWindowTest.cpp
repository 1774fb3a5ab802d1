// The main window driven by keyboard as an operator drives it: where Tab lands in the option
// group, what the arrow keys choose, and whether the focused command button shows it.

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
        ASSERT_EQ(QApplication::focusWidget(), window.AdvGlowButton2);
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    QWidget* option(int index) const { return window.AdvOfficeRadioGroup1->item(index); }
    int selected() const { return window.AdvOfficeRadioGroup1->itemIndex(); }

    const testsupport::FreshDatabase database;
    ProgramDir dir;
    const bool settingsWritten_ = (dir.writeAlias(QString::fromStdString(database.path())), true);
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
};

TEST_F(KeyboardInWindow, ShiftTabFromKonecLandsOnTheSelectedOption)
{
    for (const int chosen : {0, 2, 3}) {
        window.AdvOfficeRadioGroup1->setItemIndex(chosen);
        window.AdvGlowButton2->setFocus(Qt::OtherFocusReason);
        press(Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), option(chosen)) << "option " << chosen;
        EXPECT_EQ(selected(), chosen);
        // Tab leaves the group at once, whichever option holds the tab stop.
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window.AdvGlowButton2) << "option " << chosen;
    }
}

TEST_F(KeyboardInWindow, ArrowKeysMoveTheSelectionWithTheFocus)
{
    press(Qt::Key_Tab, Qt::ShiftModifier);
    const struct {
        Qt::Key key;
        int option;
    } moves[] = {{Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Down, 3}, {Qt::Key_Up, 2}, {Qt::Key_Up, 1}};
    for (const auto& move : moves) {
        press(move.key);
        EXPECT_EQ(QApplication::focusWidget(), option(move.option)) << "to option " << move.option;
        EXPECT_EQ(selected(), move.option) << "to option " << move.option;
    }
}

TEST_F(KeyboardInWindow, TheOptionTheOperatorSeesIsTheOneStep7Runs)
{
    // Shift+Tab into the group, Down to b), Tab to "Konec", Tab to "Spusť pouze krok 7", Space.
    press(Qt::Key_Tab, Qt::ShiftModifier);
    press(Qt::Key_Down);
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window.AdvGlowButton3);
    press(Qt::Key_Space);
    const QStringList entries = testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log"));
    EXPECT_EQ(entries, (QStringList{QStringLiteral("START KROK 7   | "), QStringLiteral("     volba b   | "),
                                    QStringLiteral("END KROK 7     | ")}));
}

TEST_F(KeyboardInWindow, TheFocusedCommandButtonShowsAMarkFromTheStart)
{
    // Konec has had the focus since the window opened; no key has been pressed yet.
    const QImage focused = window.AdvGlowButton2->grab().toImage();
    press(Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), window.AdvGlowButton2);
    const QImage unfocused = window.AdvGlowButton2->grab().toImage();
    ASSERT_EQ(focused.size(), unfocused.size());
    // The mark lies inside the button, clear of its border and of the caption.
    int markPixels = 0;
    for (int x = 2; x < focused.width() - 2; ++x)
        for (const int y : {3, 4, focused.height() - 5, focused.height() - 4})
            markPixels += focused.pixelColor(x, y) != unfocused.pixelColor(x, y) ? 1 : 0;
    EXPECT_GT(markPixels, focused.width() / 2);
}

} // namespace
