// The backup, the question about other attachments and the claim, seen in the window.

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
#include "update/safety/OtherAttachments.h"
#include "update/safety/UpdateClaim.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

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

TEST(SafetyNetInWindow, QuestionDialogGoesOnOrCancelsByItsButtons)
{
    update::OtherAttachments others;
    others.attachments = {QStringLiteral("A@1"), QStringLiteral("B@2"), QStringLiteral("C@3"), QStringLiteral("D@4 <x>")};
    others.onlyOwnVisible = true;
    others.user = QStringLiteral("RECEPCE");
    const QString markup = ui::otherAttachmentsQuestion(others).join(QString());
    EXPECT_TRUE(markup.contains(QString::fromUtf8("a další (1)<br>"))) << markup.toStdString();
    EXPECT_FALSE(markup.contains(QStringLiteral("D@4")));
    EXPECT_TRUE(markup.contains(QString::fromUtf8("Uživatel RECEPCE vidí jen svá připojení.<br>")));

    // A click on either button, or a key: Enter and Escape both give the safe answer.
    for (const auto& [answer, expected] : {std::pair{"Pokračovat", true}, std::pair{"Zrušit", false},
                                           std::pair{"Enter", false}, std::pair{"Escape", false}}) {
        QString shownText;
        QSize size;
        QString focused;
        QTimer::singleShot(0, [&, name = QString::fromUtf8(answer)] {
            auto* dialog = qobject_cast<ui::TFormD08Question*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            shownText = dialog->DBHTMLabel1->text();
            size = dialog->size();
            focused = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
            if (name == QLatin1String("Enter") || name == QLatin1String("Escape")) {
                QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog,
                                name == QLatin1String("Enter") ? Qt::Key_Return : Qt::Key_Escape);
                return;
            }
            for (ui::GlowButton* candidate : {dialog->AdvGlowButton2, dialog->AdvGlowButton3})
                if (candidate->text() == name)
                    candidate->click();
        });
        EXPECT_EQ(ui::askToContinue(markup), expected) << answer;
        EXPECT_EQ(shownText, markup);
        EXPECT_EQ(size, QSize(540, 227));
        EXPECT_EQ(focused, QStringLiteral("AdvGlowButton3")) << "the focus starts on Zrušit";
    }
}

TEST(SafetyNetInWindow, WithoutAScreenTheQuestionGoesToStandardErrorAndTheCommandGoesOn)
{
    ASSERT_TRUE(ui::DialogPrompt::platformHasNoScreen());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(ui::DialogPrompt().question({kOneOtherHead, QStringLiteral("SYSDBA@lokalne<br>")}, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              QString::fromUtf8("K databázi jsou připojeni další uživatelé: 1\nSYSDBA@lokalne\n").toLocal8Bit().toStdString());
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

    EXPECT_EQ(prompt.errors, QStringList{update::kBusyRefusal.shown});
    EXPECT_TRUE(prompt.infoKinds.empty()) << "not even the reminders: nothing started";
    EXPECT_EQ(testsupport::runLogEntries(attached.dir.path() + QStringLiteral("/QVTDPH2012.log")),
              QStringList{QStringLiteral("ERROR          | ") + update::kBusyEntry});
    EXPECT_EQ(data(), before);
    for (ui::GlowButton* each : {window.AdvGlowButton1, window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4})
        EXPECT_TRUE(each->isEnabled()) << each->objectName().toStdString();

    attached.other.releaseClaim();
    prompt.errors.clear();
    QTest::mouseClick(window.*GetParam(), Qt::LeftButton);
    EXPECT_TRUE(prompt.errors.isEmpty()) << "the claim is free again";
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

} // namespace
