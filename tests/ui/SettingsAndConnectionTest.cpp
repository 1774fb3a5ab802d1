#include "FreshDatabase.h"
#include "ProgramDir.h"

#include "ui/D08_Main.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/GlowButton.h"

#include <QLabel>
#include <QTest>

#include <array>

#include <gtest/gtest.h>

namespace {

const QString kConnectOk = QStringLiteral("Database connect OK");
const QString kConnectError = QStringLiteral("Database connect ERROR");

TEST(SettingsNotice, NonDefaultAliasIsShownWithTheEffectiveValuesAndAMaskedPassword)
{
    const ProgramDir dir;
    dir.writeAlias(QStringLiteral("hotelserver:C:\\Firebird\\hotel.fdb"));
    ui::RecordingPrompt prompt;
    const ui::TFormD08Main window(dir.path(), prompt);
    ASSERT_EQ(prompt.notices.size(), 1);
    const QString& notice = prompt.notices.first();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("AliasName = hotelserver:C:\\Firebird\\hotel.fdb\n\rUser name = SYSDBA\n\rPassword = ")))
        << notice.toStdString();
    EXPECT_FALSE(notice.contains(QStringLiteral("tajne")));
    EXPECT_TRUE(prompt.infoKinds.empty()) << "nothing connects before the window is shown";
}

TEST(SettingsNotice, DefaultAliasInOtherLetterCaseIsStillANotice)
{
    const ProgramDir dir;
    dir.writeAlias(QStringLiteral("qvt"));
    ui::RecordingPrompt prompt;
    const ui::TFormD08Main window(dir.path(), prompt);
    EXPECT_EQ(prompt.notices.size(), 1);
}

TEST(SettingsNotice, DefaultAliasOrNoSettingsFileAsksNothing)
{
    const ProgramDir withIni;
    withIni.writeIni("[Params]\r\nAlias=QVT\r\nPassword=jine\r\n");
    ui::RecordingPrompt prompt;
    {
        ui::TFormD08Main window(withIni.path(), prompt);
        EXPECT_EQ(window.session().settings().password, QStringLiteral("jine")) << "the settings reach the session";
    }
    const ProgramDir withoutIni;
    {
        ui::TFormD08Main window(withoutIni.path(), prompt);
        EXPECT_EQ(window.session().settings().alias, QStringLiteral("QVT"));
    }
    EXPECT_TRUE(prompt.nothingAsked());
}

TEST(SettingsNotice, RealPromptWritesItToStandardErrorWhereNoOneCouldDismissIt)
{
    const ProgramDir dir;
    dir.writeIni("[Params]\r\nAlias=hotelserver:QVT\r\nPassword=se,cr;et\r\n");
    testing::internal::CaptureStderr();
    {
        const ui::TFormD08Main window(dir.path());
    }
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("AliasName = hotelserver:QVT"), std::string::npos) << written;
    EXPECT_NE(written.find("User name = SYSDBA"), std::string::npos) << written;
    EXPECT_EQ(written.find("se,cr;et"), std::string::npos) << written;
}

TEST(FormShow, FreshDatabaseConnectsAndSaysOk)
{
    const testsupport::FreshDatabase database;
    const ProgramDir dir;
    dir.writeAlias(QString::fromStdString(database.path()));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    EXPECT_EQ(window.Label10->text(), kConnectOk);
    EXPECT_TRUE(window.session().isConnected());
    EXPECT_TRUE(prompt.infoKinds.empty());
    EXPECT_FALSE(dir.hasRunLog());
}

class FailingConnection : public testing::TestWithParam<QString> {};

TEST_P(FailingConnection, SaysErrorAndShowsTheConnectionMessageWithoutLogging)
{
    const ProgramDir dir;
    dir.writeAlias(QString(GetParam()).replace(QStringLiteral("<dir>"), dir.path()));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    window.FormShow();
    EXPECT_EQ(window.Label10->text(), kConnectError);
    EXPECT_FALSE(window.session().isConnected());
    EXPECT_EQ(prompt.infoKinds, std::vector<int>{4});
    EXPECT_FALSE(dir.hasRunLog());
    for (ui::GlowButton* button : {window.AdvGlowButton1, window.AdvGlowButton2, window.AdvGlowButton3, window.AdvGlowButton4})
        EXPECT_TRUE(button->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Aliases, FailingConnection,
                         testing::Values(QStringLiteral("<dir>/no-such-database.fdb"), QStringLiteral("127.0.0.1/1:QVT"),
                                         QString()),
                         [](const auto& info) { return std::string(std::array{"MissingFile", "RefusedPort", "Empty"}[info.index]); });

TEST(FormShow, FailedConnectionThroughTheRealPromptWritesTheMessageWhereNoOneCouldDismissIt)
{
    const ProgramDir dir;
    dir.writeAlias(dir.path() + QStringLiteral("/missing.fdb"));
    ui::TFormD08Main window(dir.path());
    DialogWatch watch;
    testing::internal::CaptureStderr();
    window.FormShow();
    const QString written = QString::fromLocal8Bit(testing::internal::GetCapturedStderr());
    EXPECT_EQ(watch.dialogsAfterEvents(), 0) << "nobody could close a dialog on this platform";
    EXPECT_EQ(window.Label10->text(), kConnectError);
    for (const char* line : {"Chyba při pokusu o připojení k serveru!", "Restartujte počítač a spusťte aplikaci znovu!",
                             "kde lze spustit aplikaci Kalmor!"})
        EXPECT_TRUE(written.contains(QString::fromUtf8(line))) << written.toStdString();
    EXPECT_FALSE(written.contains(QLatin1Char('<'))) << "plain text, no markup";
}

TEST(FormShow, RunsOnceWhenTheWindowIsFirstShown)
{
    const ProgramDir dir;
    dir.writeAlias(dir.path() + QStringLiteral("/missing.fdb"));
    ui::RecordingPrompt prompt;
    ui::TFormD08Main window(dir.path(), prompt);
    EXPECT_TRUE(window.Label10->text().isEmpty());
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Label10->text().isEmpty(); }, 30000));
    EXPECT_EQ(window.Label10->text(), kConnectError);
    window.hide();
    window.show();
    QTest::qWait(50);
    EXPECT_EQ(prompt.infoKinds, std::vector<int>{4});
}

} // namespace
