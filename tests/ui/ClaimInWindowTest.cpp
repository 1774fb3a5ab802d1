// Each command of the window against a database that another attachment has claimed, and a run
// log that cannot be written.

#include "FreshDatabase.h"
#include "ProgramDir.h"
#include "RunLogEntries.h"

#include "db/Connection.h"
#include "db/DatabaseClaim.h"
#include "ui/D08_Main.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "update/UpdateClaim.h"

#include <QDir>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ClaimInWindow : public testing::TestWithParam<const char*> {
protected:
    ClaimInWindow() : database(testsupport::HotelData::Demo)
    {
        dir.writeAlias(QString::fromStdString(database.path()));
        other.setDatabase(database.path());
        other.setUser("SYSDBA");
    }

    ui::GlowButton* button(ui::TFormD08Main& window) const
    {
        const std::string name = GetParam();
        return name == "AdvGlowButton1" ? window.AdvGlowButton1
            : name == "AdvGlowButton3"  ? window.AdvGlowButton3
                                        : window.AdvGlowButton4;
    }

    std::string data()
    {
        std::string rows;
        for (const char* sql : {"select count(*) from FBS_VAT where VAT_RATE = 14", "select sum(PERCENTAGE) from POS_TAXES",
                                "select sum(ID_VAT) from FBS_STOCK_ITM", "select count(*) from REC_MM_REZERVACE"})
            rows += other.select(sql).text(0) + "|";
        return rows;
    }

    testsupport::FreshDatabase database;
    ProgramDir dir;
    db::Connection other; // another instance's attachment
};

TEST_P(ClaimInWindow, ACommandIsRefusedWhileAnotherAttachmentHoldsTheClaim)
{
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    window.AdvOfficeRadioGroup1->setItemIndex(2);
    other.claim();
    const std::string before = data();

    QTest::mouseClick(button(window), Qt::LeftButton);

    EXPECT_EQ(prompt.errors, QStringList{update::kBusyMessage});
    EXPECT_TRUE(prompt.infoKinds.empty()) << "not even the reminders: nothing started";
    EXPECT_EQ(testsupport::runLogEntries(dir.path() + QStringLiteral("/QVTDPH2012.log")),
              QStringList{QStringLiteral("ERROR          | ") + update::kBusyMessage});
    EXPECT_EQ(data(), before);
    for (ui::GlowButton* each : {window.AdvGlowButton1, window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4})
        EXPECT_TRUE(each->isEnabled()) << each->objectName().toStdString();

    other.releaseClaim();
    prompt.errors.clear();
    QTest::mouseClick(button(window), Qt::LeftButton);
    EXPECT_TRUE(prompt.errors.isEmpty()) << "the claim is free again";
    EXPECT_NO_THROW(other.claim()) << "the window holds the claim only while a command runs";
}

INSTANTIATE_TEST_SUITE_P(Commands, ClaimInWindow, testing::Values("AdvGlowButton1", "AdvGlowButton3", "AdvGlowButton4"));

TEST(RunLogInWindow, ALogThatCannotBeWrittenIsShownInTheStatusLine)
{
    const testsupport::FreshDatabase database(testsupport::HotelData::Demo);
    ProgramDir dir;
    dir.writeAlias(QString::fromStdString(database.path()));
    const QString log = dir.path() + QStringLiteral("/QVTDPH2012.log");
    ASSERT_TRUE(QDir().mkdir(log));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    QTest::mouseClick(window.AdvGlowButton4, Qt::LeftButton);
    EXPECT_TRUE(window.Label10->text().contains(log)) << window.Label10->text().toStdString();
    EXPECT_TRUE(prompt.errors.isEmpty()) << "the command ran as usual";
}

} // namespace
