// Other attachments to the database before a command changes anything.

#include "CommandFixture.h"

#include "db/Connection.h"
#include "update/FullUpdate.h"
#include "update/OtherAttachments.h"
#include "update/StayingGuests.h"

#include <QFile>

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
    struct Case {
        const char* command;
        bool (*run)(update::UpdateSession&, update::UpdateView&);
    };
    for (const Case& c : {Case{"full update", &update::RunFullUpdate}, Case{"step 7", &update::RunStayingGuestsAlone}}) {
        attachSomeoneElse();
        const std::string before = dump(kRates) + dump(kStays);
        view.option = 2;
        view.goOnDespiteOthers = false;
        view.events.clear();
        view.enabled[update::CommandButton::Stock] = false;

        EXPECT_TRUE(c.run(session, view)) << c.command;

        EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")),
                  QStringList{QStringLiteral("others Pripojeno dalsich: 1 (SYSDBA@lokalne)")})
            << c.command;
        EXPECT_FALSE(QFile::exists(session.log().filePath())) << c.command;
        EXPECT_EQ(dump(kRates) + dump(kStays), before) << c.command;
        EXPECT_TRUE(view.isButtonEnabled(update::CommandButton::RunAll)) << c.command;
        EXPECT_FALSE(view.isButtonEnabled(update::CommandButton::Stock)) << c.command;
        EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("indicator")).isEmpty()) << c.command;
    }
}

TEST_F(OtherAttachments, GoingOnRunsTheUpdateAsWithoutThem)
{
    attachSomeoneElse();
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_EQ(view.events.first(), QStringLiteral("disable RunAll"));
    EXPECT_EQ(view.eventsStartingWith(QStringLiteral("others ")).size(), 1);
    EXPECT_EQ(entries().last(), QStringLiteral("KONEC          | "));
    // Interactive: the operator saw them, the log stays as it was.
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("               | Pripojeno")).isEmpty());
    EXPECT_EQ(value("select count(*) from pos_taxes where percentage = 10"), "0");
}

TEST_F(OtherAttachments, NobodyElseMeansNoQuestion)
{
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    EXPECT_TRUE(view.eventsStartingWith(QStringLiteral("others ")).isEmpty());
}

TEST_F(OtherAttachments, AUserWithoutPrivilegeIsToldItSeesOnlyItsOwn)
{
    struct Case {
        const char* viewer;
        const char* other;
        const char* summary;
    };
    const Case cases[] = {
        {"SYSDBA", "GUEST", "Pripojeno dalsich: 1 (GUEST@lokalne)"},
        {"GUEST", "SYSDBA",
         "Pripojeno dalsich: 0, uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt pripojeni"},
        {"GUEST", "GUEST",
         "Pripojeno dalsich: 1 (GUEST@lokalne), uzivatel GUEST vidi jen sva pripojeni, dalsi uzivatele mohou byt "
         "pripojeni"},
    };
    for (const Case& c : cases) {
        db::Connection other;
        other.setDatabase(database.path());
        other.setUser(c.other);
        other.open();
        db::Connection viewer;
        viewer.setDatabase(database.path());
        viewer.setUser(c.viewer);
        const std::optional<update::OtherAttachments> seen = update::readOtherAttachments(viewer);
        ASSERT_TRUE(seen.has_value()) << c.viewer;
        EXPECT_EQ(seen->summary().toStdString(), c.summary) << c.viewer << " seeing " << c.other;
        EXPECT_TRUE(seen->worthWarning());
    }
}

} // namespace
