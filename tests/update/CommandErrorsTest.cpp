// Whatever error ends a command, the window comes back usable and the error is on record.

#include "CommandFixture.h"

#include "commands/FullUpdate.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"
#include "commands/StockAndBanquets.h"

#include <stdexcept>

namespace {

using update::CommandButton;

const QString kErrorEntry = QStringLiteral("ERROR          | ");

class CommandErrorsTest : public testsupport::CommandTest {
protected:
    // Throws the first time the view is told the event.
    void breakOffAt(const QString& event)
    {
        view.onEvent = [this, event](const QString& happened) {
            if (happened == event && !brokenOff_) {
                brokenOff_ = true;
                throw std::runtime_error("broken off for the test");
            }
        };
    }

private:
    bool brokenOff_ = false;
};

TEST_F(CommandErrorsTest, FullUpdateEndedByTheStayQueryComesBackAsAfterItsEnd)
{
    session.applySettings({QStringLiteral("/nonexistent-dph2012/hotel.fdb"), QStringLiteral("SYSDBA"), QString()});
    view.option = 1;
    EXPECT_FALSE(update::RunFullUpdate(session, view));

    const QStringList written = entries();
    ASSERT_FALSE(written.isEmpty());
    EXPECT_TRUE(written.last().startsWith(kErrorEntry)) << written.last().toStdString();
    EXPECT_TRUE(written.last().contains(QStringLiteral("/nonexistent-dph2012/hotel.fdb"))) << written.last().toStdString();
    EXPECT_EQ(written.mid(written.size() - 3, 2),
              (QStringList{QStringLiteral("KROK 7         | "), QStringLiteral("     volba b   | ")}));
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("KONEC")).isEmpty());
    EXPECT_EQ(session.runner().failureCount(), 11) << "every statement of steps 1 to 6";

    const QStringList tail = view.events.mid(view.events.indexOf(QStringLiteral("progress 6")) + 1);
    ASSERT_EQ(tail.size(), 6);
    EXPECT_EQ(tail.mid(0, 5), (QStringList{"indicator off", "update done", "enable RunAll", "enable Step7", "enable Close"}));
    EXPECT_EQ(tail[5], QStringLiteral("error ") + written.last().mid(kErrorEntry.size()));
    EXPECT_FALSE(view.enabled.at(CommandButton::Stock));
    EXPECT_FALSE(session.QueryPobyty.isActive());
    EXPECT_EQ(session.commandsEndedByError(), 1);
}

TEST_F(CommandErrorsTest, Step7BrokenOffMidwayRestoresTheButtonsAndALaterRunReadsTheGroupsAfresh)
{
    ASSERT_TRUE(installServerObjects());
    view.enabled[CommandButton::Stock] = false;
    view.option = 1;
    breakOffAt(QStringLiteral("messages"));
    EXPECT_FALSE(update::RunStayingGuestsAlone(session, view));

    EXPECT_EQ(entries().last(), kErrorEntry + QStringLiteral("broken off for the test"));
    EXPECT_TRUE(entriesStartingWith(QStringLiteral("END KROK 7")).isEmpty());
    EXPECT_EQ(view.events.mid(view.events.size() - 6),
              (QStringList{"indicator off", "enable RunAll", "enable Step7", "enable Close", "disable Stock",
                           "error broken off for the test"}));
    EXPECT_FALSE(view.indicatorRunning);
    EXPECT_FALSE(session.QueryPobyty.isActive());

    // A group that crosses the year end now, numbered before all the others.
    exec("insert into REC_MM_REZERVACE (CisloRezervace, CisloSkupiny, Status, DatumPrijezd, DatumOdjezd, Mena) values "
         "(1099, 499, 6, '30.12.2011', '2.1.2012', 'CZK')");
    exec("insert into REC_MM_REZDET (ID, CisloRezervace, DatumOd, DatumDo, KodRastru, TypSluzby, Link, CisloSluzby, "
         "Cena, Mena, CisloKlienta, DPH) values (2099, 1099, '30.12.2011', '2.1.2012', 'UB', 1, 0, 1, 900, 'CZK', 501, 10)");
    view.events.clear();
    EXPECT_TRUE(update::RunStayingGuestsAlone(session, view));
    const QStringList splits = entriesStartingWith(QStringLiteral("EXEC SQL       | execute procedure REC_DPH_DeleniPobytu("));
    EXPECT_EQ(splits.size(), 1 + 4) << "501 before the break; then 499, 502, 503 and 507";
    EXPECT_TRUE(splits.at(1).contains(QStringLiteral("(499,"))) << splits.join('\n').toStdString();
    EXPECT_EQ(entries().last(), QStringLiteral("END KROK 7     | "));
}

TEST_F(CommandErrorsTest, StockCommandBrokenOffEnablesAllButtonsAndSaysWhy)
{
    breakOffAt(QStringLiteral("progress 3"));
    EXPECT_FALSE(update::UpdateStockAndBanquets(session, view));
    EXPECT_EQ(entries().last(), kErrorEntry + QStringLiteral("broken off for the test"));
    EXPECT_EQ(view.events.mid(view.events.indexOf(QStringLiteral("progress 3")) + 1),
              (QStringList{"indicator off", "enable RunAll", "enable Step7", "enable Close", "enable Stock",
                           "error broken off for the test"}));
    EXPECT_EQ(session.commandsEndedByError(), 1);
}

} // namespace
