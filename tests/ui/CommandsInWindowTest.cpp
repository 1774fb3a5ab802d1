// The three commands driven through the window's buttons on the offscreen platform, against
// fresh copies of the demo hotel.

#include "FreshDatabase.h"
#include "ProgramDir.h"
#include "RunLogEntries.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "ui/D08_Info.h"
#include "ui/D08_Main.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/CircularProgress.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "ui/widgets/SmoothProgressBar.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using testsupport::HotelData;

const QColor kGreen(0x008000);

// The state of the window's controls that the commands change, for comparing moments.
struct Controls {
    bool runAll, step7, close, stock;
    bool indicator;
    int progress;
    int greenSteps;
    bool operator==(const Controls&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Controls& c)
{
    return out << "{buttons " << c.runAll << c.step7 << c.close << c.stock << " indicator " << c.indicator
               << " progress " << c.progress << " green " << c.greenSteps << "}";
}

class CommandsInWindow : public testing::Test {
protected:
    explicit CommandsInWindow(HotelData data = HotelData::Demo) : database(data)
    {
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
    }

    std::vector<QLabel*> steps() const
    {
        return {window.Label2, window.Label3, window.Label4, window.Label5,
                window.Label6, window.Label7, window.Label8, window.Label9};
    }

    Controls controls() const
    {
        int green = 0;
        for (QLabel* label : steps())
            green += label->palette().color(QPalette::WindowText) == kGreen ? 1 : 0;
        return {window.AdvGlowButton1->isEnabled(),
                window.AdvGlowButton3->isEnabled(),
                window.AdvGlowButton2->isEnabled(),
                window.AdvGlowButton4->isEnabled(),
                window.AdvCircularProgress1->isStarted() && !window.AdvCircularProgress1->isHidden(),
                window.AdvProgress1->value(),
                green};
    }

    QStringList logEntries() const { return testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log")); }
    std::string value(const std::string& sql) { return connection.select(sql).text(0); }

    testsupport::FreshDatabase database;
    ProgramDir dir;
    // The window reads the settings while it is made.
    const bool settingsWritten_ = (dir.writeAlias(QString::fromStdString(database.path())), true);
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
    db::Connection connection;
};

TEST_F(CommandsInWindow, FullUpdateTicksOffTheStepsOneByOneAndEndsAsTheTableSays)
{
    std::vector<Controls> atDialogs;
    prompt.onInfo = [&](int) { atDialogs.push_back(controls()); };
    // Samples the window whenever the update lets it repaint.
    std::vector<Controls> atRepaints;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { atRepaints.push_back(controls()); });
    sampler.start(0);
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    sampler.stop();

    EXPECT_EQ(prompt.infoKinds, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(atDialogs.size(), 3u);
    const Controls allOff{false, false, false, false, false, 0, 0};
    EXPECT_EQ(atDialogs[0], allOff) << "the reminders come before the indicator and the first step";
    EXPECT_EQ(atDialogs[1], allOff);
    EXPECT_EQ(atDialogs[2], (Controls{false, false, false, false, false, 8, 8}));
    ASSERT_EQ(atRepaints.size(), 8u) << "one repaint per step; option a goes through no group";
    for (int step = 1; step <= 8; ++step)
        EXPECT_EQ(atRepaints[step - 1], (Controls{false, false, false, false, true, step - 1, step})) << "step " << step;

    EXPECT_EQ(controls(), (Controls{true, true, true, false, false, 8, 8}));
    EXPECT_EQ(window.AdvProgress1->maximum(), 8);
    EXPECT_EQ(window.AdvGlowButton1->fontColor(), QColor(Qt::black));
    EXPECT_EQ(window.AdvGlowButton2->fontColor(), QColor(0xFF0000));
    EXPECT_EQ(logEntries().last(), QStringLiteral("KONEC          | "));
    EXPECT_EQ(logEntries().filter(QStringLiteral("ENGINE ERROR")), QStringList());
    EXPECT_TRUE(prompt.errors.isEmpty());
}

TEST_F(CommandsInWindow, AfterTheFullUpdateTheStockButtonStaysOff)
{
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    const int entries = logEntries().size();
    QTest::mouseClick(window.AdvGlowButton4, Qt::LeftButton);
    EXPECT_FALSE(window.AdvGlowButton4->isEnabled());
    EXPECT_EQ(logEntries().size(), entries);
    EXPECT_EQ(prompt.infoKinds, (std::vector<int>{1, 2, 3}));
}

TEST_F(CommandsInWindow, RealInfoMessagesComeInOrderAndWaitForNobodyWhereNoOneCouldAnswer)
{
    ui::TFormD08Main realWindow(dir.path());
    testing::internal::CaptureStderr();
    QTest::mouseClick(realWindow.AdvGlowButton1, Qt::LeftButton);
    const QString written = QString::fromStdString(testing::internal::GetCapturedStderr());

    qsizetype previous = -1;
    for (const char* message : {"uzavřeny všechny účty v POS", "vypnutu aplikaci Kalmor", "Aktualizace byla dokončena."}) {
        const qsizetype at = written.indexOf(QString::fromUtf8(message));
        EXPECT_GT(at, previous) << message << " in " << written.toStdString();
        previous = at;
    }
    EXPECT_EQ(logEntries().last(), QStringLiteral("KONEC          | "));
    EXPECT_TRUE(realWindow.AdvGlowButton1->isEnabled());
}

TEST_F(CommandsInWindow, Step7AloneBlocksTheButtonsWhileItRunsAndPutsThemBackAsTheyWere)
{
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton); // installs the objects; stock goes off
    const Controls before = controls();
    window.AdvOfficeRadioGroup1->setItemIndex(2);
    std::vector<Controls> atDialog;
    prompt.onInfo = [&](int) { atDialog.push_back(controls()); };
    QTest::mouseClick(window.AdvGlowButton3, Qt::LeftButton);

    EXPECT_EQ(prompt.infoKinds, (std::vector<int>{1, 2, 3, 3}));
    ASSERT_EQ(atDialog.size(), 1u);
    EXPECT_EQ(atDialog[0], (Controls{false, false, false, false, false, 8, 8}));
    EXPECT_EQ(controls(), before);
    const QStringList entries = logEntries();
    const int start = entries.indexOf(QStringLiteral("START KROK 7   | "));
    ASSERT_GE(start, 0);
    EXPECT_EQ(entries[start + 1], QStringLiteral("     volba c   | "));
    EXPECT_EQ(entries.last(), QStringLiteral("END KROK 7     | "));
}

// A command tells the operator it has ended only once its protocol is there to read.
TEST_F(CommandsInWindow, EachCommandsCompletionMessageComesOnceItsProtocolIsWritten)
{
    const auto protocols = [this] {
        return QDir(dir.path()).entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}, QDir::Files).size();
    };
    std::vector<std::pair<int, qsizetype>> atCompletion;
    prompt.onInfo = [&](int kind) {
        if (kind == 3 || kind == 5)
            atCompletion.emplace_back(kind, protocols());
    };
    window.AdvOfficeRadioGroup1->setItemIndex(2);
    for (ui::GlowButton* command : {window.AdvGlowButton4, window.AdvGlowButton1, window.AdvGlowButton3})
        QTest::mouseClick(command, Qt::LeftButton);

    const std::vector<std::pair<int, qsizetype>> expected = {{5, 1}, {3, 2}, {3, 3}};
    EXPECT_EQ(atCompletion, expected) << "stock, full update, step 7: the message, and the PDFs there by then";
    EXPECT_EQ(protocols(), 3);
    EXPECT_TRUE(prompt.errors.isEmpty()) << prompt.errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(CommandsInWindow, ClosingTheWindowWhileACommandRunsIsRefused)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bool closedMidway = true;
    prompt.onInfo = [&](int kind) {
        if (kind == 1)
            closedMidway = window.close();
    };
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    EXPECT_FALSE(closedMidway);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(logEntries().last(), QStringLiteral("KONEC          | "));
    EXPECT_TRUE(window.close()) << "once the command is over the window closes as usual";
}

TEST_F(CommandsInWindow, StockCommandShowsItsMessageWhileBusyAndEnablesAllFourButtons)
{
    std::vector<Controls> atDialog;
    prompt.onInfo = [&](int) { atDialog.push_back(controls()); };
    QTest::mouseClick(window.AdvGlowButton4, Qt::LeftButton);
    EXPECT_EQ(prompt.infoKinds, std::vector<int>{5});
    ASSERT_EQ(atDialog.size(), 1u);
    EXPECT_EQ(atDialog[0], (Controls{false, false, false, false, true, 12, 0}));
    EXPECT_EQ(controls(), (Controls{true, true, true, true, false, 12, 0}));
    EXPECT_EQ(window.AdvProgress1->maximum(), 12);
    EXPECT_EQ(window.AdvGlowButton1->fontColor(), QColor(0xFF0000)) << "colours belong to the full update";
    EXPECT_EQ(logEntries().last(), QStringLiteral("FBS Konec"));
}

TEST_F(CommandsInWindow, ARefusedPostingTurnsItsStepRedAndTheCompletionCountsIt)
{
    connection.execute("CREATE EXCEPTION TEST_POSTING_REFUSED 'posting refused for the test'");
    connection.execute("CREATE TRIGGER TEST_REFUSE_5001 FOR REC_CHECKDTL BEFORE INSERT AS BEGIN IF (NEW.CisloUctu = "
                       "5001) THEN EXCEPTION TEST_POSTING_REFUSED; END");
    connection.close();
    window.AdvOfficeRadioGroup1->setItemIndex(2);
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);

    const QStringList entries = logEntries();
    EXPECT_EQ(entries.filter(QStringLiteral("Skupina 501: namarkovani UB nevratilo cislo uctu")).size(), 1);
    EXPECT_EQ(entries.filter(QStringLiteral("Uzavreni uctu, novy ucet")).size(), 3) << "502, 503 and 507 are closed";
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
    EXPECT_EQ(controls(), (Controls{true, true, true, false, false, 8, 7}));
    EXPECT_EQ(steps()[6]->palette().color(QPalette::WindowText), QColor(0xFF0000)) << "step 7 failed";
    EXPECT_EQ(prompt.infoKinds, (std::vector<int>{1, 2})) << "no \"dokončena\" after a refusal";
    ASSERT_EQ(prompt.errors.size(), 1);
    EXPECT_TRUE(prompt.errors[0].startsWith(QString::fromUtf8("Aktualizace byla dokončena s chybami: databáze odmítla 1 příkaz.")))
        << prompt.errors[0].toStdString();
    EXPECT_TRUE(prompt.errors[0].contains(QStringLiteral("QVTDPH2012.log"))) << "where the log has it";
    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5001"), "1");
    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5002"), "2");
}

class StayOptionsInWindow : public CommandsInWindow, public testing::WithParamInterface<int> {};

TEST_P(StayOptionsInWindow, Step7AloneAfterTheUpdateWorksOnTheStaysOverTheYearEnd)
{
    window.AdvOfficeRadioGroup1->setItemIndex(0);
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    window.AdvOfficeRadioGroup1->setItemIndex(GetParam());
    QTest::mouseClick(window.AdvGlowButton3, Qt::LeftButton);
    ASSERT_TRUE(prompt.errors.isEmpty());
    ASSERT_EQ(logEntries().filter(QStringLiteral("ENGINE ERROR")), QStringList());

    const std::string splitStays = value("select count(*) from REC_MM_REZERVACE where DatumOdjezd = '31.12.2011'");
    const std::string account5001 = value(
        "select Status || '/' || coalesce(cast(REC_DUZP as varchar(11)), '-') from REC_CHECKHEAD where CisloUctu = 5001");
    const std::string newAccount = value("select Status || '/' || REC_DUZP || '/' || CisloKlienta from REC_CHECKHEAD "
                                         "where CisloUctu = 100001");
    const std::string postedTo = value("select MarkovanoDo from REC_MM_REZDET where ID = 2001");
    switch (GetParam()) {
    case 1:
        EXPECT_EQ(splitStays, "5");
        EXPECT_EQ(account5001, "1/-");
        EXPECT_EQ(newAccount, "");
        EXPECT_EQ(postedTo, "");
        break;
    case 2:
        EXPECT_EQ(splitStays, "5");
        EXPECT_EQ(account5001, "2/-13881");
        EXPECT_EQ(newAccount, "1/-13880/501");
        EXPECT_EQ(postedTo, "31.12.2011");
        break;
    default:
        EXPECT_EQ(splitStays, "0");
        EXPECT_EQ(account5001, "2/-13881");
        EXPECT_EQ(newAccount, "1/-13880/501");
        EXPECT_EQ(postedTo, "3.1.2012");
        break;
    }
    EXPECT_EQ(logEntries().filter(QStringLiteral("     volba ")),
              (QStringList{QStringLiteral("     volba a   | "), QStringLiteral("     volba %1   | ").arg(QChar('a' + GetParam()))}));
}

INSTANTIATE_TEST_SUITE_P(OptionsBCD, StayOptionsInWindow, testing::Values(1, 2, 3),
                         [](const auto& info) { return std::string(1, static_cast<char>('a' + info.param)); });

class CommandsInWindowWithoutDatabase : public testing::Test {
protected:
    ProgramDir dir;
    const bool settingsWritten_ = (dir.writeAlias(dir.path() + QStringLiteral("/missing.fdb")), true);
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window{dir.path(), prompt};
};

TEST_F(CommandsInWindowWithoutDatabase, AnErrorThatEndsTheUpdateIsShownAndTheWindowStaysUsable)
{
    window.AdvOfficeRadioGroup1->setItemIndex(1);
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    ASSERT_EQ(prompt.errors.size(), 1);
    EXPECT_TRUE(prompt.errors.first().contains(QStringLiteral("missing.fdb"))) << prompt.errors.first().toStdString();
    EXPECT_EQ(prompt.infoKinds, (std::vector<int>{1, 2})) << "no completion message";
    EXPECT_TRUE(window.AdvCircularProgress1->isHidden());
    EXPECT_FALSE(window.AdvCircularProgress1->isStarted());
    EXPECT_TRUE(window.AdvGlowButton1->isEnabled());
    EXPECT_TRUE(window.AdvGlowButton2->isEnabled());
    EXPECT_TRUE(window.AdvGlowButton3->isEnabled());
    EXPECT_FALSE(window.AdvGlowButton4->isEnabled());
    EXPECT_FALSE(window.isCommandRunning());

    const QStringList entries = testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log"));
    EXPECT_EQ(entries.last(), QStringLiteral("ERROR          | ") + prompt.errors.first());

    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    EXPECT_EQ(prompt.errors.size(), 2) << "the update can be started again";
}

} // namespace
