// Runs with automatic mode set for the whole process, as the entry point sets it.
#include "FreshDatabase.h"
#include "ProgramDir.h"
#include "RunLogEntries.h"

#include "ui/D08_Info.h"
#include "ui/D08_Main.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "update/AutomaticMode.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

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

TEST(AutomaticMode, FullUpdateAsksNothingAndSaysSoInTheLog)
{
    const testsupport::FreshDatabase database;
    const ProgramDir dir;
    dir.writeAlias(QString::fromStdString(database.path()));
    ui::TFormD08Main window(dir.path());
    DialogWatch watch;
    window.AdvGlowButton1->click();
    EXPECT_EQ(watch.dialogsAfterEvents(), 0);
    const QStringList entries = testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log"));
    ASSERT_GE(entries.size(), 4);
    EXPECT_EQ(entries[1], QStringLiteral("SPUSTENI AKT.  | "));
    EXPECT_EQ(entries[2], QStringLiteral("               | Automaticky mod"));
    EXPECT_EQ(entries[3], QStringLiteral("KROK 1         | "));
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
}

TEST(AutomaticMode, AnErrorThatEndsTheUpdateGoesToStandardErrorNotToABox)
{
    const ProgramDir dir;
    dir.writeAlias(dir.path() + QStringLiteral("/missing.fdb"));
    ui::TFormD08Main window(dir.path());
    window.AdvOfficeRadioGroup1->setItemIndex(1);
    DialogWatch watch;
    testing::internal::CaptureStderr();
    window.AdvGlowButton1->click();
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(watch.dialogsAfterEvents(), 0);
    EXPECT_NE(written.find("the update ended with an error"), std::string::npos) << written;
    EXPECT_NE(written.find("missing.fdb"), std::string::npos) << written;
    EXPECT_EQ(window.session().commandsEndedByError(), 1);
}

TEST(AutomaticMode, OtherAttachmentsGoToTheLogAndStandardErrorAndTheUpdateGoesOn)
{
    const AttachedElsewhere attached;
    ui::TFormD08Main window(attached.dir.path());
    DialogWatch watch;
    testing::internal::CaptureStderr();
    window.AdvGlowButton1->click();
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(watch.dialogsAfterEvents(), 0);
    EXPECT_NE(written.find("dph2012: Pripojeno dalsich: 1 (SYSDBA@lokalne)\n"), std::string::npos) << written;
    const QStringList entries = testsupport::runLogEntries(attached.dir.path() + QStringLiteral("/QVTDPH2012.log"));
    ASSERT_GE(entries.size(), 5);
    EXPECT_EQ(entries[2], QStringLiteral("               | Automaticky mod"));
    EXPECT_EQ(entries[3], QStringLiteral("               | Pripojeno dalsich: 1 (SYSDBA@lokalne)"));
    EXPECT_EQ(entries[4], QStringLiteral("KROK 1         | "));
    EXPECT_EQ(entries.last(), QStringLiteral("KONEC          | "));
}

} // namespace
