// The read-only report of what is still at the old rate.

#include "CommandFixture.h"

#include "db/Connection.h"
#include "update/FullUpdate.h"
#include "update/ReadinessCheck.h"

#include <QFile>

#include <tuple>

namespace {

using testsupport::CommandTest;

class ReadinessCheck : public CommandTest {
protected:
    update::ReadinessReport check()
    {
        db::Connection own;
        own.setDatabase(database.path());
        own.setUser("SYSDBA");
        return update::CheckReadiness(own);
    }
    // The items of the update's steps 1 to 6 that are left.
    static QStringList left(const update::ReadinessReport& report)
    {
        QStringList found;
        for (const update::ReadinessItem& item : report.items)
            if (item.counted && item.left)
                found.append(item.what);
        return found;
    }
    // The report's line of the item.
    static QString lineOf(const QString& text, const char* item)
    {
        const qsizetype at = text.indexOf(QString::fromUtf8(item));
        return at < 0 ? QString() : text.mid(at, text.indexOf(QLatin1Char('\n'), at) - at);
    }
};

TEST_F(ReadinessCheck, AFreshStandInHasEverythingLeftTheFullUpdateNothingAndAnItemPutBackShows)
{
    const update::ReadinessReport report = check();
    EXPECT_EQ(report.exitStatus(), 1);
    EXPECT_EQ(left(report),
              (QStringList{"1 POS: dane se sazbou 10", "2 FBS: sazba 14 (prave jeden radek)",
                           "3 REC: sluzby se sazbou 10 (typ mimo 1)", "4 Nastaveni DPHSazba% = \"10\"",
                           "5 Rezervace od 1.1.2012 se sazbou 10", "6 REC_PoklDenikInsert2 platna",
                           "6 REC_DPH_DeleniPobytu platna", "6 REC_DPH_UzavreniUctu platna",
                           "6 REC_DPH_UZAVRENIVSECHUCTU platna", "6 REC_CHECKHEAD_DPH_TRIGGER platny a aktivni"}));
    const QString text = report.text(QStringLiteral("QVT"), QStringLiteral("SYSDBA"));
    EXPECT_TRUE(text.contains(QStringLiteral("7 Skupiny bydlici pres 31.12.2011"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("(po Novem roce)"))) << text.toStdString();
    EXPECT_FALSE(QFile::exists(session.log().filePath()));

    ASSERT_TRUE(update::RunFullUpdate(session, view));
    session.Database1.close();
    const update::ReadinessReport after = check();
    EXPECT_EQ(after.exitStatus(), 0) << after.text(QString(), QString()).toStdString();
    EXPECT_TRUE(left(after).isEmpty());

    for (const auto& [putBack, undo, item, line] :
         {std::tuple{"update pos_taxes set percentage = 10 where percentage = 14 and id_tax = (select min(id_tax) from "
                     "pos_taxes where percentage = 14)",
                     "update pos_taxes set percentage = 14 where percentage = 10", "1 POS: dane se sazbou 10",
                     "1      0  ZBYVA"},
          {"alter trigger REC_CHECKHEAD_DPH_TRIGGER inactive", "alter trigger REC_CHECKHEAD_DPH_TRIGGER active",
           "6 REC_CHECKHEAD_DPH_TRIGGER platny a aktivni", "0      1  ZBYVA"},
          {"insert into fbs_vat (id_vat, vat_rate) values (999, 14)", "delete from fbs_vat where id_vat = 999",
           "2 FBS: sazba 14 (prave jeden radek)", "2      1  ZBYVA"}}) {
        exec(putBack);
        const update::ReadinessReport report = check();
        EXPECT_EQ(report.exitStatus(), 1) << item;
        EXPECT_EQ(left(report), QStringList{QString::fromUtf8(item)});
        const QString text = report.text(QString(), QString());
        EXPECT_TRUE(lineOf(text, item).endsWith(QString::fromUtf8(line))) << text.toStdString();
        exec(undo);
    }
}

TEST_F(ReadinessCheck, NoConnectionOrAFailedQueryEndsWithTwo)
{
    db::Connection nowhere;
    nowhere.setDatabase(database.directory().string() + "/missing.fdb");
    nowhere.setUser("SYSDBA");
    const update::ReadinessReport unconnected = update::CheckReadiness(nowhere);
    EXPECT_EQ(unconnected.exitStatus(), 2);
    EXPECT_TRUE(unconnected.text(QStringLiteral("x"), QStringLiteral("y")).contains(QStringLiteral("missing.fdb")));

    exec("drop table pos_taxes");
    const update::ReadinessReport failed = check();
    EXPECT_EQ(failed.exitStatus(), 2);
    const QString text = failed.text(QString(), QString());
    // The engine error's three values, the SQLCODE of an unknown table among them.
    EXPECT_TRUE(lineOf(text, "1 POS: dane se sazbou 10").contains(QStringLiteral("?      0  CHYBA "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" -204 "))) << text.toStdString();
}

} // namespace
