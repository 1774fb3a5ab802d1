// Step 7 on the demo hotel, whose groups 501, 502, 503 and 507 stay over 31.12.2011.

#include "CommandFixture.h"

#include "update/StatementRunner.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"

#include <QRegularExpression>

namespace {

using testsupport::HotelData;

const QString kGroup = QStringLiteral("               | ");

QStringList splitCalls(const QStringList& groups)
{
    QStringList calls;
    for (const QString& group : groups)
        calls.append(QStringLiteral("EXEC SQL       | execute procedure REC_DPH_DeleniPobytu(%1,\"31.12.2011\")").arg(group));
    return calls;
}

class StayingGuestsTest : public testsupport::CommandTest {
protected:
    void SetUp() override { ASSERT_TRUE(installServerObjects()); }

    // The entries that step 7 wrote, after the installation's.
    QStringList stepEntries() const { return entries().mid(5); }

    const std::string heads_ = "select CisloUctu, CisloKlienta, Status, REC_DUZP from REC_CHECKHEAD order by CisloUctu";
    const std::string stays_ =
        "select CisloRezervace, CisloSkupiny, DatumPrijezd, DatumOdjezd from REC_MM_REZERVACE order by CisloRezervace";
};

TEST_F(StayingGuestsTest, OptionALogsItsLineAndTouchesNothing)
{
    const std::string before = dump(stays_) + dump(heads_);
    view.option = 0;
    update::ProcessStayingGuests(session, view);
    EXPECT_EQ(stepEntries(), QStringList{QStringLiteral("     volba a   | ")});
    EXPECT_TRUE(view.events.isEmpty());
    EXPECT_EQ(dump(stays_) + dump(heads_), before);
}

TEST_F(StayingGuestsTest, NoOptionSelectedDoesNothingAtAll)
{
    view.option = -1;
    update::ProcessStayingGuests(session, view);
    EXPECT_TRUE(stepEntries().isEmpty());
}

TEST_F(StayingGuestsTest, OptionBSplitsEachGroupOnceAndRepaintsPerGroup)
{
    view.option = 1;
    update::ProcessStayingGuests(session, view);
    EXPECT_EQ(stepEntries(), QStringList{QStringLiteral("     volba b   | ")}
                                 + splitCalls({"501", "502", "503", "507"}));
    EXPECT_EQ(view.events, QStringList(4, QStringLiteral("messages")));
    // The first parts end on the cut-off, the second parts begin there; group 504 arrives on it and
    // the cancelled reservation 1011 is left as it was.
    EXPECT_EQ(value("select count(*) from REC_MM_REZERVACE where DatumOdjezd = '31.12.2011' and CisloSkupiny in "
                    "(501, 502, 503, 507) and DatumPrijezd < '31.12.2011'"),
              "5");
    EXPECT_EQ(value("select count(*) from REC_MM_REZERVACE where DatumPrijezd = '31.12.2011' and CisloSkupiny in "
                    "(501, 502, 503, 507)"),
              "5");
    EXPECT_EQ(dump("select Status, DatumOdjezd from REC_MM_REZERVACE where CisloRezervace = 1011"),
              "8|4.1.2012|\n");
    EXPECT_EQ(value("select DatumOdjezd from REC_MM_REZERVACE where CisloRezervace = 1006"), "2.1.2012");
    EXPECT_EQ(value("select count(*) from REC_CHECKHEAD"), "10") << "option b opens and closes no account";
}

TEST_F(StayingGuestsTest, OptionCSplitsPostsUpToTheCutOffAndClosesEachGroup)
{
    view.option = 2;
    update::ProcessStayingGuests(session, view);
    const QStringList expected = {
        QStringLiteral("     volba c   | "),
        kGroup + "501",
        splitCalls({"501"}).first(),
        QStringLiteral("SELECT SQL     | select CisloPokladny from REC_MM_KLIENT where CisloKlienta = 501"),
        QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(501, \"31.12.2011\", 2, \"Internal\")"),
        kGroup + "Namarkovani UB na ucet 5001",
        QStringLiteral("SELECT SQL     | select * from REC_DPH_UzavreniUctu(5001, \"31.12.2011\")"),
        kGroup + "Uzavreni uctu, novy ucet 100001",
        kGroup + "502",
        splitCalls({"502"}).first(),
        QStringLiteral("SELECT SQL     | select CisloPokladny from REC_MM_KLIENT where CisloKlienta = 502"),
        QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(502, \"31.12.2011\", 3, \"Internal\")"),
        kGroup + "Namarkovani UB na ucet 5002",
        QStringLiteral("SELECT SQL     | select * from REC_DPH_UzavreniUctu(5002, \"31.12.2011\")"),
        kGroup + "Uzavreni uctu, novy ucet 5009",
        // Client 503 has no cash desk of its own: the first reception desk serves.
        kGroup + "503",
        splitCalls({"503"}).first(),
        QStringLiteral("SELECT SQL     | select CisloPokladny from REC_MM_KLIENT where CisloKlienta = 503"),
        QStringLiteral("SELECT SQL     | select Min(REC_NUM) from QVT_BU where BU_TYPE = \"R\""),
        QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(503, \"31.12.2011\", 2, \"Internal\")"),
        kGroup + "Namarkovani UB na ucet 5003",
        QStringLiteral("SELECT SQL     | select * from REC_DPH_UzavreniUctu(5003, \"31.12.2011\")"),
        kGroup + "Uzavreni uctu, novy ucet 100002",
        kGroup + "507",
        splitCalls({"507"}).first(),
        QStringLiteral("SELECT SQL     | select CisloPokladny from REC_MM_KLIENT where CisloKlienta = 507"),
        QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(507, \"31.12.2011\", 1, \"Internal\")"),
        kGroup + "Namarkovani UB na ucet 100003",
        QStringLiteral("SELECT SQL     | select * from REC_DPH_UzavreniUctu(100003, \"31.12.2011\")"),
        kGroup + "Uzavreni uctu, novy ucet 100004",
    };
    EXPECT_EQ(stepEntries(), expected);

    // Closed on 31.12.2011; each balance goes on to an open account dated 1.1.2012.
    EXPECT_EQ(dump("select CisloUctu, Status, REC_DUZP from REC_CHECKHEAD where CisloUctu in (5001, 5002, 5003, 100003) "
                   "order by CisloUctu"),
              "5001|2|-13881|\n5002|2|-13881|\n5003|2|-13881|\n100003|2|-13881|\n");
    EXPECT_EQ(dump("select CisloUctu, CisloKlienta, Status, REC_DUZP from REC_CHECKHEAD where CisloUctu in (100001, "
                   "100002, 100004, 5009) order by CisloUctu"),
              "5009|502|1|-13880|\n100001|501|1|-13880|\n100002|503|1|-13880|\n100004|507|1|-13880|\n");
    // Posted up to the cut-off only; the stay's second part is left to charge in 2012.
    EXPECT_EQ(value("select MarkovanoDo from REC_MM_REZDET where ID = 2001"), "31.12.2011");
    EXPECT_EQ(value("select count(*) from REC_MM_REZDET d join REC_MM_REZERVACE r on r.CisloRezervace = "
                    "d.CisloRezervace where r.CisloSkupiny = 501 and r.DatumPrijezd = '31.12.2011' and d.MarkovanoDo "
                    "is null"),
              "4");
    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5004"), "0") << "group 504 is not touched";
}

TEST_F(StayingGuestsTest, OptionDPostsWholeStaysButClosesOnTheCutOffWithoutSplitting)
{
    const std::string staysBefore = dump(stays_);
    view.option = 3;
    update::ProcessStayingGuests(session, view);
    const QStringList written = stepEntries();
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(written.first(), QStringLiteral("     volba d   | "));
    EXPECT_EQ(written.filter(QStringLiteral("DeleniPobytu")), QStringList());
    EXPECT_EQ(written.filter(QStringLiteral("Rec_MM_MarkujUbytovaniKlienta")),
              (QStringList{
                  QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(501, \"1.1.3000\", 2, \"Internal\")"),
                  QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(502, \"1.1.3000\", 3, \"Internal\")"),
                  QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(503, \"1.1.3000\", 2, \"Internal\")"),
                  QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(507, \"1.1.3000\", 1, \"Internal\")"),
              }));
    EXPECT_EQ(written.filter(QStringLiteral("REC_DPH_UzavreniUctu")).size(), 4);
    for (const QString& entry : written.filter(QStringLiteral("REC_DPH_UzavreniUctu")))
        EXPECT_TRUE(entry.endsWith(QStringLiteral(", \"31.12.2011\")"))) << entry.toStdString();
    EXPECT_EQ(written.filter(kGroup + QStringLiteral("50")).size(), 4) << "one group line each";

    EXPECT_EQ(dump(stays_), staysBefore);
    EXPECT_EQ(value("select MarkovanoDo from REC_MM_REZDET where ID = 2001"), "3.1.2012") << "the whole stay is posted";
    EXPECT_EQ(dump("select CisloUctu, Status, REC_DUZP from REC_CHECKHEAD where CisloUctu in (5001, 5002, 5003) "
                   "order by CisloUctu"),
              "5001|2|-13881|\n5002|2|-13881|\n5003|2|-13881|\n");
}

TEST_F(StayingGuestsTest, AGroupWhosePostingFailsIsLoggedAndNotClosedAndTheNextFollows)
{
    exec("CREATE EXCEPTION TEST_POSTING_REFUSED 'posting refused for the test'");
    exec("CREATE TRIGGER TEST_REFUSE_5001 FOR REC_CHECKDTL BEFORE INSERT AS BEGIN IF (NEW.CisloUctu = 5001) THEN "
         "EXCEPTION TEST_POSTING_REFUSED; END");
    view.option = 2;
    update::ProcessStayingGuests(session, view);

    const QStringList written = stepEntries();
    const int refused = written.indexOf(
        QStringLiteral("SELECT SQL     | select * from Rec_MM_MarkujUbytovaniKlienta(501, \"31.12.2011\", 2, \"Internal\")"));
    ASSERT_GE(refused, 0);
    ASSERT_LT(refused + 3, written.size());
    EXPECT_TRUE(written[refused + 1].startsWith(QStringLiteral("ENGINE ERROR   | "))) << written[refused + 1].toStdString();
    EXPECT_TRUE(written[refused + 1].contains(QStringLiteral("posting refused for the test")));
    EXPECT_EQ(written[refused + 2], kGroup + "Skupina 501: namarkovani UB nevratilo cislo uctu ('~FAIL~'), ucet se "
                                             "neuzavira; skupina zustava: rozdelena, 1. pobyt neuctovan; pristi "
                                             "spusteni kroku 7 s volbou c ji dokonci");
    EXPECT_EQ(written[refused + 3], kGroup + "502");
    EXPECT_EQ(written.filter(QStringLiteral("REC_DPH_UzavreniUctu(5001")), QStringList());
    EXPECT_EQ(written.filter(QStringLiteral("Uzavreni uctu, novy ucet")).size(), 3);

    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5001"), "1") << "left open";
    EXPECT_EQ(value("select Status from REC_CHECKHEAD where CisloUctu = 5002"), "2");
}

// Step 7 alone is refused, sending nothing, over objects of step 6 that are missing or switched
// off (one in another text runs: the night order test shows it).
class Step7AloneOverTheObjects : public testsupport::CommandTest, public testing::WithParamInterface<const char*> {};

TEST_P(Step7AloneOverTheObjects, IsRefusedWhenOneIsMissingOrSwitchedOff)
{
    if (GetParam()) {
        ASSERT_TRUE(installServerObjects());
        ASSERT_TRUE(session.runner().ExecSql(QString::fromLatin1(GetParam())));
    }
    view.option = 1;
    EXPECT_FALSE(update::RunStayingGuestsAlone(session, view));
    EXPECT_TRUE(entries().filter(QStringLiteral("execute procedure REC_DPH_DeleniPobytu(")).isEmpty());
    EXPECT_EQ(session.commandsRefused(), 1);
}

INSTANTIATE_TEST_SUITE_P(Objects, Step7AloneOverTheObjects,
                         testing::Values(nullptr, "alter trigger REC_CHECKHEAD_DPH_TRIGGER inactive"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param ? "TriggerSwitchedOff" : "NoneInstalled");
                         });

class StayingGuestsWithAGroupThatIsNoNumber : public testsupport::CommandTest, public testing::WithParamInterface<int> {};

TEST_P(StayingGuestsWithAGroupThatIsNoNumber, IsLoggedAndSkippedAndNoMalformedCallIsSent)
{
    ASSERT_TRUE(installServerObjects());
    // A stay over the year end whose group number was never filled in.
    exec("insert into REC_MM_REZERVACE (CisloRezervace, CisloSkupiny, Status, DatumPrijezd, DatumOdjezd) values "
         "(9001, null, 0, '28.12.2011', '3.1.2012')");
    exec("insert into REC_MM_REZDET (ID, CisloRezervace, DatumOd, DatumDo) values (9901, 9001, '28.12.2011', '3.1.2012')");
    view.option = GetParam();
    update::ProcessStayingGuests(session, view);
    const QStringList written = entries().mid(5);
    EXPECT_EQ(written.value(1), kGroup + "Cislo skupiny '' neni cele cislo, skupina se preskakuje");
    EXPECT_EQ(written.filter(QRegularExpression(QStringLiteral("\\(,|CisloKlienta = 0$|ENGINE ERROR"))), QStringList());
    EXPECT_EQ(written.filter(QRegularExpression(QStringLiteral("(DeleniPobytu|Klienta)\\(50[1237],"))).size(),
              GetParam() == 2 ? 8 : 4) << "the other groups are handled as before";
}

INSTANTIATE_TEST_SUITE_P(OptionsBCD, StayingGuestsWithAGroupThatIsNoNumber, testing::Values(1, 2, 3),
                         [](const auto& info) { return std::string(1, static_cast<char>('a' + info.param)); });

class StayingGuestsWithoutStays : public testsupport::CommandTest, public testing::WithParamInterface<int> {
protected:
    StayingGuestsWithoutStays() : CommandTest(HotelData::Base) {}
};

TEST_P(StayingGuestsWithoutStays, LogOnlyTheirOptionLine)
{
    ASSERT_TRUE(installServerObjects());
    view.option = GetParam();
    update::ProcessStayingGuests(session, view);
    const QString line = QStringLiteral("     volba %1   | ").arg(QChar('a' + GetParam()));
    EXPECT_EQ(entries().mid(5), QStringList{line});
}

INSTANTIATE_TEST_SUITE_P(Options, StayingGuestsWithoutStays, testing::Values(1, 2, 3),
                         [](const auto& info) { return std::string(1, static_cast<char>('a' + info.param)); });

class FindCashDeskTest : public testsupport::CommandTest {
protected:
    FindCashDeskTest() : CommandTest(HotelData::Demo) {}
    int find(qint64 client) { return update::FindCashDesk(session.runner(), client); }
};

TEST_F(FindCashDeskTest, ClientsOwnDeskThenFirstReceptionThenLowestPositiveThenOne)
{
    EXPECT_EQ(find(502), 3);
    EXPECT_EQ(find(504), 99) << "the client's own desk is taken as it stands";
    EXPECT_EQ(find(503), 2) << "no desk of its own";
    EXPECT_EQ(find(777), 2) << "no such client";
    exec("update QVT_BU set BU_TYPE = 'P' where BU_TYPE = 'R'");
    EXPECT_EQ(find(503), 1);
    exec("delete from QVT_BU where REC_NUM > 0");
    EXPECT_EQ(find(503), 1);
    EXPECT_EQ(entriesStartingWith(QStringLiteral("SELECT SQL     | select Min(REC_NUM) from QVT_BU where REC_NUM > 0")).size(), 2);
}

TEST_F(FindCashDeskTest, AFailedLookupFallsThroughLikeAnEmptyOne)
{
    exec("alter table REC_MM_KLIENT drop CisloPokladny");
    exec("alter table REC_MM_KLIENT add CisloPokladny computed by (1/0)");
    EXPECT_EQ(find(501), 2);
    const QStringList written = entries();
    ASSERT_EQ(written.size(), 3);
    EXPECT_TRUE(written[1].startsWith(QStringLiteral("ENGINE ERROR   | ")));
    EXPECT_EQ(written[2], QStringLiteral("SELECT SQL     | select Min(REC_NUM) from QVT_BU where BU_TYPE = \"R\""));

    exec("delete from QVT_BU");
    EXPECT_EQ(find(501), 1) << "nothing anywhere";
}

} // namespace
