// Other attachments to the database before a command changes anything.

#include "CommandFixture.h"

#include "db/Connection.h"
#include "update/FullUpdate.h"
#include "update/OtherAttachments.h"
#include "update/StayingGuests.h"

#include <QFile>

#include <tuple>

namespace {

using testsupport::CommandTest;

class OtherAttachments : public CommandTest {
protected:
    // The test's own connection is the other attachment.
    void attachSomeoneElse() { value("select 1 from RDB$DATABASE"); }
    const std::string kStays = "select CisloRezervace, DatumOdjezd, Status from rec_mm_rezervace order by 1";
    const std::string kRates = "select * from pos_taxes order by 1, 2";
};

TEST_F(OtherAttachments, CancellingTheQuestionChangesAndLogsNothing)
{
    for (const auto& [command, run] :
         {std::pair{"full update", &update::RunFullUpdate}, {"step 7", &update::RunStayingGuestsAlone}}) {
        attachSomeoneElse();
        const std::string before = dump(kRates) + dump(kStays);
        view.option = 2;
        view.goOnDespiteOthers = false;
        view.events.clear();
        view.enabled[update::CommandButton::Stock] = false;

        EXPECT_TRUE(run(session, view)) << command;

        EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")),
                  QStringList{QStringLiteral("others Pripojeno dalsich: 1 (SYSDBA@lokalne)")})
            << command;
        EXPECT_FALSE(QFile::exists(session.log().filePath())) << command;
        EXPECT_EQ(dump(kRates) + dump(kStays), before) << command;
        EXPECT_TRUE(view.isButtonEnabled(update::CommandButton::RunAll)) << command;
        EXPECT_FALSE(view.isButtonEnabled(update::CommandButton::Stock)) << command;
        EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("indicator")).isEmpty()) << command;
    }
}

TEST_F(OtherAttachments, GoingOnRunsTheUpdateAsWithoutThemAndNobodyElseMeansNoQuestion)
{
    attachSomeoneElse();
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_EQ(view.events.first(), QStringLiteral("disable RunAll"));
    EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")).size(), 1);
    EXPECT_EQ(entries().last(), QStringLiteral("KONEC          | "));
    // Interactive: the operator saw them, the log stays as it was.
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("               | Pripojeno")).isEmpty());
    EXPECT_EQ(value("select count(*) from pos_taxes where percentage = 10"), "0");

    connection.close();
    view.events.clear();
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("others ")).isEmpty());
}

TEST_F(OtherAttachments, AUserWithoutPrivilegeIsToldItSeesOnlyItsOwn)
{
    for (const auto& [viewer, other, summary] :
         {std::tuple{"SYSDBA", "GUEST", "Pripojeno dalsich: 1 (GUEST@lokalne)"},
          {"GUEST", "SYSDBA",
           "Pripojeno dalsich: 0, uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt pripojeni"},
          {"GUEST", "GUEST",
           "Pripojeno dalsich: 1 (GUEST@lokalne), uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt "
           "pripojeni"}}) {
        db::Connection attached;
        attached.setDatabase(database.path());
        attached.setUser(other);
        attached.open();
        db::Connection seeing;
        seeing.setDatabase(database.path());
        seeing.setUser(viewer);
        const std::optional<update::OtherAttachments> seen = update::readOtherAttachments(seeing);
        ASSERT_TRUE(seen.has_value()) << viewer;
        EXPECT_EQ(seen->summary().toStdString(), summary) << viewer << " seeing " << other;
        EXPECT_TRUE(seen->worthWarning());
    }
}

} // namespace
