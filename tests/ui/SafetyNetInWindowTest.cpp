// The backup, the questions about other attachments and after the rehearsal, and the claim, seen
// in the window.

#include "ProgramDir.h"
#include "RowDump.h"
#include "RunLogEntries.h"

#include "db/DatabaseClaim.h"
#include "ui/D08_Main.h"
#include "ui/D08_Question.h"
#include "ui/DialogPrompt.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/CircularProgress.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "ui/widgets/SmoothProgressBar.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"
#include "update/safety/UpdateClaim.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include <gtest/gtest.h>

namespace {

const QString kOneOtherHead = QString::fromUtf8(
    R"(<P align="center"><FONT color="#FF0000">K databázi jsou připojeni další uživatelé: 1</FONT><br>)");

TEST(SafetyNetInWindow, BackupShowsProgressKeepsTheWindowAliveAndRefusesToClose)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    const ProgramDir dir;
    const QString backup = dir.path() + QStringLiteral("/hotel.fbk");
    dir.writeIni("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nBackup=" + backup.toUtf8()
                 + "\r\n");
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.show();
    QApplication::processEvents();
    ASSERT_EQ(window.Label10->text(), QStringLiteral("Database connect OK"));

    // Runs at the first message processing of the command, which is inside the backup.
    QString status, statusTip;
    bool indicator = false, stillOpen = false;
    QTimer::singleShot(0, &window, [&] {
        status = window.Label10->text();
        statusTip = window.Label10->toolTip();
        indicator = window.AdvCircularProgress1->isVisible();
        window.close();
        stillOpen = window.isVisible();
    });
    window.AdvGlowButton1->click();

    EXPECT_TRUE(status.startsWith(QString::fromUtf8("Záloha: "))) << status.toStdString();
    EXPECT_EQ(statusTip, QString::fromUtf8("Záloha: ") + backup);
    EXPECT_TRUE(indicator);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(window.Label10->text(), QStringLiteral("Database connect OK"));
    const QStringList entries = testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log"));
    EXPECT_EQ(entries.filter(QStringLiteral("ZALOHA OK      | ")).size(), 1);
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST(SafetyNetInWindow, OtherAttachmentsAreAskedAboutInTheInfoDialogsLook)
{
    const AttachedElsewhere attached;
    ui::RecordingPrompt prompt;
    prompt.goOn = false;
    ui::TFormD08Main window(attached.dir.path(), prompt);
    window.FormShow();

    window.AdvGlowButton3->click();

    ASSERT_EQ(prompt.questions.size(), 1);
    EXPECT_EQ(prompt.questions[0], kOneOtherHead + QString::fromUtf8("SYSDBA@lokalne<br>Pokračovat v aktualizaci?<br></P>"));
    EXPECT_TRUE(prompt.infoKinds.empty());
    EXPECT_FALSE(attached.dir.hasRunLog());
    EXPECT_TRUE(window.AdvGlowButton3->isEnabled());
}

// A rehearsal that went through everything; with problems, step 3 had a statement refused and the
// check found its item left.
update::RehearsalReport rehearsal(bool problems)
{
    update::RehearsalReport report;
    report.backupFile = QStringLiteral("/zalohy/hotel.fbk");
    report.scratchDatabase = QStringLiteral("/data/hotel_zkouska.fdb");
    for (int step = 1; step <= 8; ++step)
        report.steps.push_back({step, 100 * step, 10, 0, {}});
    update::ReadinessReport check;
    check.items = {{QStringLiteral("3 REC: sluzby se sazbou 10"), QStringLiteral("0"), problems ? 2 : 0, {}, problems, true, {}}};
    report.check = check;
    if (problems)
        report.steps[2] = {3, 300, 10, 1, QStringLiteral("335544347, -625, validation error for column ID_DPH")};
    report.totalMilliseconds = 4200;
    return report;
}

struct Asked {
    bool answer = false;
    QString shownText;
    QSize size;
    QString focused;
};

// Puts the question in the real dialog and answers it by clicking the button of that name or by
// pressing Enter or Escape.
Asked askAndAnswer(const ui::Question& question, const QString& answer)
{
    Asked asked;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ui::TFormD08Question*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        asked.shownText = dialog->DBHTMLabel1->text();
        asked.size = dialog->size();
        asked.focused = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
        if (answer == QLatin1String("Enter") || answer == QLatin1String("Escape")) {
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog,
                            answer == QLatin1String("Enter") ? Qt::Key_Return : Qt::Key_Escape);
            return;
        }
        for (ui::GlowButton* candidate : {dialog->AdvGlowButton2, dialog->AdvGlowButton3})
            if (candidate->text() == answer)
                candidate->click();
    });
    asked.answer = ui::askToContinue(question);
    return asked;
}

TEST(SafetyNetInWindow, OtherAttachmentsQuestionListsAFewAndEscapesNames)
{
    update::OtherAttachments others;
    others.attachments = {QStringLiteral("A@1"), QStringLiteral("B@2"), QStringLiteral("C@3"), QStringLiteral("D@4 <x>")};
    others.onlyOwnVisible = true;
    others.user = QStringLiteral("RECEPCE");
    const QString markup = ui::otherAttachmentsQuestion(others).join(QString());
    EXPECT_TRUE(markup.contains(QString::fromUtf8("a další (1)<br>"))) << markup.toStdString();
    EXPECT_FALSE(markup.contains(QStringLiteral("D@4")));
    EXPECT_TRUE(markup.contains(QString::fromUtf8("Uživatel RECEPCE vidí jen svá připojení.<br>")));
}

// A click on either button gives its answer; Enter gives the focused one, which is "Zrušit" unless
// the rehearsal found nothing wrong; Escape always cancels.
TEST(SafetyNetInWindow, QuestionDialogGoesOnOrCancelsByItsButtons)
{
    update::OtherAttachments others;
    others.attachments = {QStringLiteral("A@1")};
    const ui::Question attachments{.lines = ui::otherAttachmentsQuestion(others), .goOnUnanswered = true};
    const ui::Question problems = ui::rehearsalQuestion(rehearsal(true));
    const ui::Question clean = ui::rehearsalQuestion(rehearsal(false));
    struct Row {
        const char* name;
        const ui::Question& question;
        const char* focused;
        bool enterGoesOn;
    };
    for (const Row& row : {Row{"attachments", attachments, "AdvGlowButton3", false},
                           Row{"rehearsal with problems", problems, "AdvGlowButton3", false},
                           Row{"clean rehearsal", clean, "AdvGlowButton2", true}}) {
        for (const auto& [answer, expected] : {std::pair{"Pokračovat", true}, std::pair{"Zrušit", false},
                                               std::pair{"Enter", row.enterGoesOn}, std::pair{"Escape", false}}) {
            const Asked asked = askAndAnswer(row.question, QString::fromUtf8(answer));
            EXPECT_EQ(asked.answer, expected) << row.name << ": " << answer;
            EXPECT_EQ(asked.shownText, row.question.lines.join(QString())) << row.name;
            EXPECT_EQ(asked.size, QSize(540, 227)) << row.name;
            EXPECT_EQ(asked.focused, QString::fromUtf8(row.focused)) << row.name << ": " << answer;
        }
    }
}

TEST(SafetyNetInWindow, RehearsalQuestionSumsUpAndOpensTheWholeReportBelow)
{
    const update::RehearsalReport report = rehearsal(true);
    ui::TFormD08Question dialog(ui::rehearsalQuestion(report));
    dialog.show();
    const QString summary = dialog.DBHTMLabel1->text();
    for (const char* expected : {"Zkouška na kopii databáze: 1 chyba z 80 příkazů", "První chyba: 335544347, -625",
                                 "Zbývá: 3 REC: sluzby se sazbou 10", "Trvala 4,2 s"})
        EXPECT_TRUE(summary.contains(QString::fromUtf8(expected))) << expected << " in " << summary.toStdString();
    ASSERT_NE(dialog.Memo1, nullptr);
    EXPECT_FALSE(dialog.Memo1->isVisible());

    dialog.AdvGlowButton4->click();

    EXPECT_TRUE(dialog.Memo1->isVisible());
    EXPECT_TRUE(dialog.Memo1->isReadOnly());
    EXPECT_GT(dialog.height(), 227);
    EXPECT_TRUE(dialog.rect().contains(dialog.Memo1->geometry())) << "the dialog grew to hold the details";
    const QString details = dialog.Memo1->toPlainText();
    for (const char* expected : {"Záloha byla celá obnovena, lze z ní databázi obnovit.",
                                 "Krok 3: 0,3 s, 10 příkazů, 1 chyba, první: 335544347, -625, validation error for column ID_DPH",
                                 "3 REC: sluzby se sazbou 10: 2, má být 0 – zbývá"})
        EXPECT_TRUE(details.contains(QString::fromUtf8(expected))) << expected << " in " << details.toStdString();

    dialog.AdvGlowButton4->click();
    EXPECT_FALSE(dialog.Memo1->isVisible());
    EXPECT_EQ(dialog.size(), QSize(540, 227));
}

// Without a screen nobody could answer: the question goes to standard error as plain text, with
// its details, and the run goes on past other attachments and past a clean rehearsal only.
TEST(SafetyNetInWindow, WithoutAScreenTheQuestionGoesToStandardErrorWithItsOwnAnswer)
{
    ASSERT_TRUE(ui::DialogPrompt::platformHasNoScreen());
    const ui::Question attachments{.lines = {kOneOtherHead, QStringLiteral("SYSDBA@lokalne &lt;x&gt;<br>")},
                                   .goOnUnanswered = true};
    struct Row {
        ui::Question question;
        bool goesOn;
        const char* said;
    };
    for (const Row& row : {Row{attachments, true, "K databázi jsou připojeni další uživatelé: 1\nSYSDBA@lokalne <x>\n"},
                           Row{ui::rehearsalQuestion(rehearsal(true)), false, "Zkouška na kopii databáze: "},
                           Row{ui::rehearsalQuestion(rehearsal(false)), true, "Zkouška na kopii databáze: "}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(ui::DialogPrompt().question(row.question, nullptr), row.goesOn) << row.said;
        const QString said = QString::fromLocal8Bit(testing::internal::GetCapturedStderr());
        const QString expected = QString::fromUtf8(row.said);
        EXPECT_TRUE(row.question.details.isEmpty() ? said == expected : said.startsWith(expected)) << said.toStdString();
        EXPECT_EQ(said.contains(QString::fromUtf8("obnovena")), !row.question.details.isEmpty()) << "the details follow";
    }
}

// The option for staying guests cannot change while a command runs: the rehearsal and the real
// run after it, or step 7 alone, use the option they started with.
TEST(SafetyNetInWindow, TheOptionGroupIsOffWhileACommandRuns)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    const ProgramDir dir;
    dir.writeAlias(QString::fromStdString(database.path()));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    std::vector<bool> enabledDuring;
    prompt.onInfo = [&](int) { enabledDuring.push_back(window.AdvOfficeRadioGroup1->isEnabled()); };
    for (ui::GlowButton* command : {window.AdvGlowButton4, window.AdvGlowButton1, window.AdvGlowButton3}) {
        enabledDuring.clear();
        command->click();
        ASSERT_FALSE(enabledDuring.empty()) << command->objectName().toStdString();
        EXPECT_EQ(std::count(enabledDuring.begin(), enabledDuring.end(), true), 0) << command->objectName().toStdString();
        EXPECT_TRUE(window.AdvOfficeRadioGroup1->isEnabled()) << "back once it ended";
    }
}

// A stop signal while the window waits for a person: whatever the person answers and wherever
// it came, nothing of the update is sent, no further box waits, and the run log says why it ended.
TEST(SafetyNetInWindow, AStopSignalAtAnyPromptEndsTheCommandWithoutAnotherBox)
{
    struct Row {
        const char* where;
        int info;     // the reminder the signal comes at, or 0
        bool answer;  // the answer the question gets all the same
    };
    for (const Row& row : {Row{"first reminder", 1, true}, Row{"second reminder", 2, true},
                           Row{"rehearsal's question, going on", 0, true},
                           Row{"rehearsal's question, cancelling", 0, false}}) {
        SCOPED_TRACE(row.where);
        const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
        const ProgramDir dir;
        dir.writeIni("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nRehearsal=1\r\nBackup="
                     + dir.path().toUtf8() + "/hotel.fbk\r\n");
        ui::RecordingPrompt prompt;
        ui::TFormD08Main window(dir.path(), prompt);
        int signal = 0;
        window.session().setStopProbe([&signal] { return signal; });
        window.FormShow();
        const auto stop = [&] {
            signal = SIGTERM;
            window.stopOnSignal();
        };
        prompt.onInfo = [&](int kind) {
            if (kind == row.info)
                stop();
        };
        prompt.goOn = row.answer;
        prompt.onQuestion = stop;

        window.AdvGlowButton1->click();

        EXPECT_TRUE(prompt.errors.isEmpty()) << prompt.errors.join('\n').toStdString();
        EXPECT_EQ(prompt.questions.size(), row.info ? 0 : 1);
        const QStringList entries = testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log"));
        ASSERT_FALSE(entries.isEmpty());
        EXPECT_EQ(entries.last(), QStringLiteral("PRERUSENO      | SIGTERM"));
        EXPECT_TRUE(entries.filter(QStringLiteral("KROK 1")).isEmpty());
        db::Connection look;
        look.setDatabase(database.path());
        look.setUser("SYSDBA");
        EXPECT_EQ(testsupport::dumpRows(look, "select count(*) from pos_taxes where percentage = 10"), "2|\n");
    }
}

// Each command against a database that another attachment has claimed, and a run log that
// cannot be written.
class ClaimInWindow : public testing::TestWithParam<ui::GlowButton* ui::TFormD08Main::*> {
protected:
    std::string data()
    {
        return testsupport::dumpRows(attached.other,
                                     "select (select count(*) from FBS_VAT where VAT_RATE = 14), (select sum(PERCENTAGE) "
                                     "from POS_TAXES), (select sum(ID_VAT) from FBS_STOCK_ITM), (select count(*) from "
                                     "REC_MM_REZERVACE) from RDB$DATABASE");
    }
    AttachedElsewhere attached{testsupport::HotelData::Demo}; // "other" is another instance's attachment
};

TEST_P(ClaimInWindow, ACommandIsRefusedWhileAnotherAttachmentHoldsTheClaim)
{
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(attached.dir.path(), prompt);
    window.FormShow();
    window.AdvOfficeRadioGroup1->setItemIndex(2);
    attached.other.claim();
    const std::string before = data();

    QTest::mouseClick(window.*GetParam(), Qt::LeftButton);

    // The refusal names the attachment that holds the claim.
    ASSERT_EQ(prompt.errors.size(), 1);
    EXPECT_TRUE(prompt.errors[0].startsWith(update::kBusyRefusal.shown + QString::fromUtf8(" Drží ji: pripojeni ")))
        << prompt.errors[0].toStdString();
    EXPECT_TRUE(prompt.infoKinds.empty()) << "not even the reminders: nothing started";
    const QStringList entries = testsupport::runLogEntries(attached.dir.path() + QStringLiteral("/QVTDPH2012.log"));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("ERROR          | ") + update::kBusyEntry + QStringLiteral(" (drzi ji pripojeni ")));
    EXPECT_EQ(data(), before);
    for (ui::GlowButton* each : {window.AdvGlowButton1, window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4})
        EXPECT_TRUE(each->isEnabled()) << each->objectName().toStdString();

    attached.other.releaseClaim();
    prompt.errors.clear();
    QTest::mouseClick(window.*GetParam(), Qt::LeftButton);
    // Step 7 may still refuse for want of the update's objects, but not for the claim.
    EXPECT_TRUE(prompt.errors.filter(update::kBusyRefusal.shown).isEmpty()) << "the claim is free again";
    EXPECT_NO_THROW(attached.other.claim()) << "the window holds the claim only while a command runs";
}

INSTANTIATE_TEST_SUITE_P(Commands, ClaimInWindow,
                         testing::Values(&ui::TFormD08Main::AdvGlowButton1, &ui::TFormD08Main::AdvGlowButton3,
                                         &ui::TFormD08Main::AdvGlowButton4),
                         [](const auto& info) { return std::string(info.index == 0 ? "FullUpdate" : info.index == 1 ? "Step7" : "Stock"); });

// The notice stays in the status line after a backup has shown its progress there.
TEST(RunLogInWindow, ALogThatCannotBeWrittenIsShownInTheStatusLine)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    ProgramDir dir;
    dir.writeIni("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nBackup="
                 + dir.path().toUtf8() + "/hotel.fbk\r\n");
    const QString log = dir.path() + QStringLiteral("/QVTDPH2012.log");
    ASSERT_TRUE(QDir().mkdir(log));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    QTest::mouseClick(window.AdvGlowButton1, Qt::LeftButton);
    EXPECT_TRUE(window.Label10->text().contains(log)) << window.Label10->text().toStdString();
    EXPECT_TRUE(prompt.errors.isEmpty()) << "the command ran as usual";
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/hotel.fbk")));
}

// The full update with Rehearsal=1 in the window: after the rehearsal on a copy, "Zrušit" leaves
// the hotel's database as it was, and nothing of the copy remains.
TEST(RehearsalInWindow, ZrusitAfterTheRehearsalChangesNothing)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    const ProgramDir dir;
    const QByteArray folder = QByteArray::fromStdString(database.directory().string());
    dir.writeIni("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path()) + "\r\nUser=SYSDBA\r\nBackup=" + folder
                 + "/hotel.fbk\r\nRehearsal=1\r\n");
    ui::RecordingPrompt prompt;
    prompt.goOn = false;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    db::Connection check;
    check.setDatabase(database.path());
    check.setUser("SYSDBA");
    const std::string sql = "select (select count(*) from POS_TAXES where PERCENTAGE = 10), (select count(*) from "
                            "RDB$PROCEDURES where RDB$PROCEDURE_NAME starting 'REC_DPH') from RDB$DATABASE";
    const std::string before = testsupport::dumpRows(check, sql);
    check.close(); // else the window asks about it first

    window.AdvGlowButton1->click();

    ASSERT_EQ(prompt.questions.size(), 1);
    EXPECT_TRUE(prompt.questions.first().contains(QString::fromUtf8("Zkouška na kopii databáze")))
        << prompt.questions.first().toStdString();
    EXPECT_EQ(testsupport::dumpRows(check, sql), before);
    EXPECT_EQ(QDir(QString::fromUtf8(folder)).entryList({QStringLiteral("*-zkouska.fdb")}), QStringList());
    EXPECT_EQ(testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log")).last(),
              QStringLiteral("               | Aktualizace po zkousce nespustena"));
    EXPECT_EQ(prompt.errors, QStringList{QString::fromUtf8("Aktualizace nebyla spuštěna, databáze se nezměnila.")});
    EXPECT_TRUE(window.AdvGlowButton1->isEnabled()) << "the update can still be started";
}

} // namespace

namespace {

// A long phase borrows the bar for its percent and the status line for its time left, and gives
// both back as they were at its end.
TEST(PhaseInWindow, TheBarAndTheStatusShowPercentAndTimeLeftAndComeBackAfterwards)
{
    const ProgramDir dir;
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.setProgressMaximum(8);
    window.setProgress(0);
    const QString status = window.Label10->text();

    update::PhaseProgress backup(update::Phase::Backup, 1'110'000'000);
    window.showPhaseProgress(backup);
    EXPECT_EQ(window.Label10->text(), status) << "nothing done yet to tell";
    backup.done = 412'000'000;
    backup.elapsedMilliseconds = 80'000;
    window.showPhaseProgress(backup);
    EXPECT_EQ(window.AdvProgress1->maximum(), 100);
    EXPECT_EQ(window.AdvProgress1->value(), 37);
    // The label is narrow: the whole text is its tip, the time left is what stays in sight.
    EXPECT_EQ(window.Label10->toolTip(), QString::fromUtf8("Záloha 37 %, zbývá asi 2 min"));
    EXPECT_TRUE(window.Label10->text().endsWith(QString::fromUtf8("zbývá asi 2 min")));

    backup.finished = true;
    window.showPhaseProgress(backup);
    EXPECT_EQ(window.AdvProgress1->maximum(), 8);
    EXPECT_EQ(window.AdvProgress1->value(), 0);
    EXPECT_EQ(window.Label10->text(), status);

    // A restore that a failure cut short gives the bar back when its rehearsal ends.
    update::PhaseProgress restore(update::Phase::Restore, 1'110'000'000);
    restore.done = 500'000'000;
    window.showPhaseProgress(restore);
    EXPECT_EQ(window.AdvProgress1->maximum(), 100);
    window.showRehearsalProgress(QString());
    EXPECT_EQ(window.AdvProgress1->maximum(), 8);
    EXPECT_EQ(window.Label10->text(), status);

    // The update keeps its bar of eight steps; only the status line tells its percent, the share
    // of its time gone (3 s of the rehearsal's 130), and its time left.
    update::PhaseProgress steps(update::Phase::Update, 8, false);
    steps.done = 3;
    steps.elapsedMilliseconds = 3000;
    steps.expectedMilliseconds = 130'000;
    window.setProgress(3);
    window.showPhaseProgress(steps);
    EXPECT_EQ(window.AdvProgress1->maximum(), 8);
    EXPECT_EQ(window.AdvProgress1->value(), 3);
    EXPECT_EQ(window.Label10->toolTip(), QString::fromUtf8("Aktualizace 2 %, zbývá asi 2 min"));

    // The protocol after the steps borrows the bar in its turn and gives the eight steps back.
    update::PhaseProgress protocol(update::Phase::Protocol, 100, false);
    protocol.done = 40;
    window.showPhaseProgress(protocol);
    EXPECT_EQ(window.AdvProgress1->maximum(), 100);
    EXPECT_EQ(window.AdvProgress1->value(), 40);
    EXPECT_EQ(window.Label10->toolTip(), QString::fromUtf8("Protokol 40 %"));
    protocol.finished = true;
    window.showPhaseProgress(protocol);
    EXPECT_EQ(window.AdvProgress1->maximum(), 8);
    EXPECT_EQ(window.AdvProgress1->value(), 3);
}

} // namespace
