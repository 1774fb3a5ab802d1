#include "ProgramDir.h"
#include "RunLogEntries.h"

#include "ui/D08_Main.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/CircularProgress.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "ui/widgets/ReflectionLabel.h"
#include "ui/widgets/SmoothProgressBar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Placement {
    const char* name;
    QRect geometry;
};

struct Caption {
    const char* name;
    QString text;
    int pixelHeight;
    bool bold;
};

class MainWindowTest : public testing::Test {
protected:
    QWidget& control(const char* name)
    {
        auto* widget = window.findChild<QWidget*>(QLatin1String(name));
        if (!widget)
            throw std::runtime_error(std::string("no control ") + name);
        return *widget;
    }
    QString captionOf(QWidget& widget)
    {
        if (auto* label = qobject_cast<QLabel*>(&widget))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(&widget))
            return button->text();
        return {};
    }
    void showAndActivate()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    ProgramDir dir;
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
};

const std::vector<Caption> kCaptions = {
    {"Label1", QStringLiteral("Jednotlivé kroky aktualizace:"), 16, false},
    {"Label2", QStringLiteral("1. Změna daňové tabulky pro POS"), 13, false},
    {"Label3", QStringLiteral("2. Změna daňové tabulky pro FBS"), 13, false},
    {"Label4", QStringLiteral("3. Změna daňových sazeb u služeb pro REC"), 13, false},
    {"Label5", QStringLiteral("4. Změna základních sazeb DPH v systémových nastaveních"), 13, false},
    {"Label6", QStringLiteral("5. Přepočet sazby DPH u již pořízených rezervací"), 13, false},
    {"Label7", QStringLiteral("6. Aktualizace zpracování hotelových účtů - zajištění správné sazby DPH 2011 / 2012"), 13, false},
    {"Label8", QStringLiteral("7. Přechod na nový rok 1.1.2012 u ubytovaných hostů"), 13, false},
    {"Label9", QStringLiteral("8. Aktualizace systému pro zpracování záloh mezi roky 2011 / 2012"), 13, false},
    {"AdvGlowButton1", QStringLiteral("Spusť aktualizaci"), 16, true},
    {"AdvGlowButton3", QStringLiteral("Spusť pouze krok 7 (lze kdykoli  předem)"), 16, false},
    {"AdvGlowButton4", QStringLiteral("Aktualizace DPH u skladových položek a rautů po 1.1.2012"), 16, true},
    {"AdvGlowButton2", QStringLiteral("Konec"), 13, false},
};

TEST_F(MainWindowTest, EveryControlSitsAtItsPositionAndSize)
{
    const std::vector<Placement> placements = {
        {"AdvReflectionLabel1", {375, 8, 209, 40}}, {"Label1", {24, 48, 202, 19}},
        {"Label10", {392, 51, 168, 16}},            {"Label2", {52, 73, 194, 16}},
        {"AdvCircularProgress1", {500, 73, 60, 60}}, {"Label3", {52, 95, 192, 16}},
        {"Label4", {52, 117, 249, 16}},             {"Label5", {52, 139, 338, 16}},
        {"Label6", {52, 161, 277, 16}},             {"Label7", {52, 183, 481, 16}},
        {"Label8", {52, 205, 305, 16}},             {"AdvOfficeRadioGroup1", {104, 227, 429, 105}},
        {"Label9", {52, 333, 384, 16}},             {"AdvGlowButton1", {52, 361, 481, 41}},
        {"AdvGlowButton3", {52, 408, 481, 41}},     {"AdvGlowButton4", {52, 453, 481, 41}},
        {"AdvProgress1", {52, 504, 481, 17}},       {"AdvGlowButton2", {204, 527, 174, 41}},
    };
    for (const Placement& placement : placements) {
        QWidget& widget = control(placement.name);
        EXPECT_EQ(widget.parentWidget(), &window) << placement.name;
        EXPECT_EQ(widget.geometry(), placement.geometry) << placement.name;
    }
    EXPECT_EQ(window.AdvGlowButton1, &control("AdvGlowButton1"));
    EXPECT_EQ(window.Label10, &control("Label10"));
}

TEST_F(MainWindowTest, CaptionsAreExactInTheirFontsAndFitTheirControls)
{
    for (const Caption& caption : kCaptions) {
        QWidget& widget = control(caption.name);
        EXPECT_EQ(captionOf(widget), caption.text) << caption.name;
        EXPECT_EQ(widget.font().pixelSize(), caption.pixelHeight) << caption.name;
        EXPECT_EQ(widget.font().bold(), caption.bold) << caption.name;
        EXPECT_LE(QFontMetrics(widget.font()).horizontalAdvance(caption.text), widget.width()) << caption.name;
    }
    EXPECT_EQ(window.font().pixelSize(), 11);
    EXPECT_EQ(window.Label10->font().pixelSize(), 11);
    EXPECT_EQ(window.AdvReflectionLabel1->font().pixelSize(), 21);
    EXPECT_TRUE(window.AdvReflectionLabel1->font().bold());
    EXPECT_EQ(window.AdvReflectionLabel1->markup(), QStringLiteral(R"(<B>Kalmor <FONT color="#FF0000">DPH 2012</FONT></B>)"));
    EXPECT_EQ(window.AdvReflectionLabel1->reflectionHeight(), 20);
}

TEST_F(MainWindowTest, StatusLabelIsNavyAndRightAligned)
{
    EXPECT_EQ(window.Label10->palette().color(QPalette::WindowText), QColor(0x000080));
    EXPECT_TRUE(window.Label10->alignment() & Qt::AlignRight);
    window.Label10->setText(QStringLiteral("Database connect ERROR"));
    EXPECT_LE(QFontMetrics(window.Label10->font()).horizontalAdvance(window.Label10->text()), window.Label10->width());
}

TEST_F(MainWindowTest, WindowIsFixedCentredAndWithoutMinimiseOrMaximise)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kalmor DPH 2012"));
    EXPECT_EQ(window.size(), QSize(592, 576));
    EXPECT_EQ(window.minimumSize(), QSize(592, 576));
    EXPECT_EQ(window.maximumSize(), QSize(592, 576));
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((window.geometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
}

TEST_F(MainWindowTest, StartsWithHiddenIndicatorFirstOptionAndRedStartButton)
{
    EXPECT_TRUE(window.AdvCircularProgress1->isHidden());
    EXPECT_FALSE(window.AdvCircularProgress1->isStarted());

    const QStringList items = {
        QStringLiteral("a) Nic nedělat"),
        QStringLiteral("b) Rozdělení pobytů na dva kdy první končí 31.12.2011"),
        QStringLiteral("c) Rozdělení pobytů na dva kdy první končí 31.12.2011 a uzavření 1. pobytu"),
        QStringLiteral("d) uzavření celých pobytů s nastavením DUZP na 31.12.2011")};
    EXPECT_EQ(window.AdvOfficeRadioGroup1->title(), QStringLiteral("Volba pro zpracování bydlících hostů 1.1.2012"));
    ASSERT_EQ(window.AdvOfficeRadioGroup1->count(), 4);
    for (int index = 0; index < 4; ++index)
        EXPECT_EQ(window.AdvOfficeRadioGroup1->itemText(index), items.at(index));
    EXPECT_EQ(window.AdvOfficeRadioGroup1->itemIndex(), 0);

    const QColor windowText = window.palette().color(QPalette::WindowText);
    EXPECT_EQ(window.AdvGlowButton1->fontColor(), QColor(0xFF0000));
    EXPECT_EQ(window.AdvGlowButton2->fontColor(), windowText);
    EXPECT_EQ(window.AdvGlowButton3->fontColor(), windowText);
    for (QLabel* step : {window.Label2, window.Label5, window.Label9})
        EXPECT_EQ(step->palette().color(QPalette::WindowText), windowText);
    for (ui::GlowButton* button : {window.AdvGlowButton1, window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_EQ(window.Label10->text(), QString());
    EXPECT_TRUE(prompt.nothingAsked());
}

TEST_F(MainWindowTest, FocusChainRunsFromTheStartButtonThroughKonecToTheOtherCommands)
{
    const std::vector<QWidget*> expected = {window.AdvGlowButton1, window.AdvProgress1, window.AdvOfficeRadioGroup1,
                                            window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4};
    std::vector<QWidget*> seen;
    QWidget* widget = window.AdvGlowButton1;
    do {
        if (std::find(expected.begin(), expected.end(), widget) != expected.end())
            seen.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != window.AdvGlowButton1 && seen.size() < 20);
    EXPECT_EQ(seen, expected);
}

TEST_F(MainWindowTest, KonecHasTheFocusAndTabWalksTheCommandsInOrder)
{
    showAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), window.AdvGlowButton2);

    const std::vector<QWidget*> tabbing = {window.AdvGlowButton3, window.AdvGlowButton4, window.AdvGlowButton1,
                                           window.AdvOfficeRadioGroup1->item(0), window.AdvGlowButton2};
    for (QWidget* next : tabbing) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, KonecClosesTheWindow)
{
    showAndActivate();
    QTest::mouseClick(window.AdvGlowButton2, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

// Driven by keyboard: Shift+Tab from "Konec", Down to b), Tab to "Konec", Tab to "Spusť pouze
// krok 7", Space runs step 7 with option b).
TEST(KeyboardInWindow, TabEntersTheOptionsAtTheSelectedOneAndTheArrowsMoveTheSelectionWithTheFocus)
{
    const testsupport::FreshDatabase database;
    ProgramDir dir;
    dir.writeAlias(QString::fromStdString(database.path()));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };

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

TEST_F(MainWindowTest, TheFocusedCommandButtonShowsAMarkFromTheStart)
{
    showAndActivate();
    // "Konec" has had the focus since the window opened; no key has been pressed yet.
    ASSERT_EQ(QApplication::focusWidget(), window.AdvGlowButton2);
    const QImage focused = window.AdvGlowButton2->grab().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const QImage unfocused = window.AdvGlowButton2->grab().toImage();
    int marked = 0; // inside the button, clear of its border and caption
    for (int x = 2; x < focused.width() - 2; ++x)
        for (const int y : {3, 4, focused.height() - 5, focused.height() - 4})
            marked += focused.pixelColor(x, y) != unfocused.pixelColor(x, y) ? 1 : 0;
    EXPECT_GT(marked, focused.width() / 2);
}

} // namespace
