#include "update/ReadinessCheck.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/OtherAttachments.h"
#include "update/Stop.h"
#include "update/StatementRunner.h"
#include "update/StayingGuests.h"

#include <QStringList>

namespace update {

namespace {

enum class Expect { Zero, One };

struct CountQuery {
    const char* what;
    Expect expect;
    bool counted;
    QString sql;
};

QString objectQuery(const char* table, const char* nameColumn, const char* name, const char* extra = "")
{
    return QStringLiteral("select count(*) from %1 where %2 = '%3' and RDB$VALID_BLR = 1%4")
        .arg(QLatin1String(table), QLatin1String(nameColumn), QLatin1String(name), QLatin1String(extra));
}

QString procedureQuery(const char* name)
{
    return objectQuery("RDB$PROCEDURES", "RDB$PROCEDURE_NAME", name);
}

// The rows that the stock command moves, in the same words.
const QString kBanquetDocuments = QStringLiteral(
    "select "
    "(select count(*) from FBS_PROD_LIST_ITM A where A.VAT = 10 and (select B.STO_DATE from FBS_PROD_LISTS B where "
    "A.ID_VOUCHER = B.ID_VOUCHER) >= '1.1.2012') + "
    "(select count(*) from FBS_PROD_LIST_ITM_R A where A.VAT = 10 and (select B.STO_DATE from FBS_PROD_LISTS B where "
    "A.ID_VOUCHER = B.ID_VOUCHER) >= '1.1.2012') + "
    "(select count(*) from FBS_PROD_LISTS_R A where A.VAT = 10 and (select B.STO_DATE from FBS_PROD_LISTS B where "
    "A.ID_VOUCHER = B.ID_VOUCHER) >= '1.1.2012') + "
    "(select count(*) from FBS_PROD_PROCS_R A where A.VAT = 10 and (select PROC_TYPE from FBS_PROD_PROCS B where "
    "A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)) + "
    "(select count(*) from FBS_PROD_ITEMS_R A where A.VAT = 10 and (select PROC_TYPE from FBS_PROD_PROCS B where "
    "A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)) "
    "from RDB$DATABASE");

std::vector<CountQuery> countQueries()
{
    return {
        {"1 POS: dane se sazbou 10", Expect::Zero, true,
         QStringLiteral("select count(*) from pos_taxes where percentage = 10")},
        {"2 FBS: sazba 14 (prave jeden radek)", Expect::One, true,
         QStringLiteral("select count(*) from fbs_vat where vat_rate = 14")},
        {"3 REC: sluzby se sazbou 10 (typ mimo 1)", Expect::Zero, true,
         QStringLiteral("select count(*) from cissluz where dph = 10 and typsluzby <> 1")},
        {"4 Nastaveni DPHSazba% = \"10\"", Expect::Zero, true,
         QStringLiteral("select count(*) from QVT_KONFIG where hodnotacz = '10' and Item like 'DPHSazba%'")},
        {"5 Rezervace od 1.1.2012 se sazbou 10", Expect::Zero, true,
         QStringLiteral("select count(*) from rec_mm_rezdet where MarkovanoDo is null and DPH = 10 and datumdo >= "
                        "'1.1.2012'")},
        {"6 REC_PoklDenikInsert2 platna", Expect::One, true, procedureQuery("REC_POKLDENIKINSERT2")},
        {"6 REC_DPH_DeleniPobytu platna", Expect::One, true, procedureQuery("REC_DPH_DELENIPOBYTU")},
        {"6 REC_DPH_UzavreniUctu platna", Expect::One, true, procedureQuery("REC_DPH_UZAVRENIUCTU")},
        {"6 REC_DPH_UZAVRENIVSECHUCTU platna", Expect::One, true, procedureQuery("REC_DPH_UZAVRENIVSECHUCTU")},
        {"6 REC_CHECKHEAD_DPH_TRIGGER platny a aktivni", Expect::One, true,
         objectQuery("RDB$TRIGGERS", "RDB$TRIGGER_NAME", "REC_CHECKHEAD_DPH_TRIGGER",
                     " and RDB$TRIGGER_INACTIVE = 0")},
        {"7 Skupiny bydlici pres 31.12.2011", Expect::Zero, false,
         QStringLiteral("select count(*) from (") + kStayQuery + QStringLiteral(")")},
        {"Skladove polozky se sazbou 10 (po Novem roce)", Expect::Zero, false,
         QStringLiteral("select count(*) from FBS_STOCK_ITM where ID_VAT in (select ID_VAT from FBS_VAT where "
                        "VAT_RATE = 10)")},
        {"Doklady rautu se sazbou 10 (po Novem roce)", Expect::Zero, false, kBanquetDocuments},
    };
}

ReadinessItem counted(db::Connection& connection, const CountQuery& query)
{
    ReadinessItem item;
    item.what = QString::fromUtf8(query.what);
    item.expected = query.expect == Expect::One ? QStringLiteral("1") : QStringLiteral("0");
    item.counted = query.counted;
    try {
        item.count = connection.select(query.sql.toStdString()).integer(0);
        item.left = *item.count != (query.expect == Expect::One ? 1 : 0);
    } catch (const db::EngineError& error) {
        item.error = engineErrorValues(error);
    }
    return item;
}

ReadinessItem otherAttachments(db::Connection& connection)
{
    ReadinessItem item;
    item.what = QStringLiteral("Dalsi pripojeni k databazi");
    item.expected = QStringLiteral("0");
    item.counted = false;
    const std::optional<OtherAttachments> others = readOtherAttachments(connection);
    if (!others) {
        item.error = QStringLiteral("monitorovaci tabulky nelze cist");
        return item;
    }
    item.count = others->attachments.size();
    item.left = others->worthWarning();
    if (others->worthWarning())
        item.error = others->summary();
    return item;
}

} // namespace

int ReadinessReport::exitStatus() const
{
    if (!connectError.isEmpty())
        return 2;
    bool left = false;
    for (const ReadinessItem& item : items) {
        if (!item.count && item.counted)
            return 2;
        left = left || (item.counted && item.left);
    }
    return left ? 1 : 0;
}

QString ReadinessReport::text(const QString& alias, const QString& user) const
{
    QStringList lines = {QStringLiteral("dph2012 --check: %1 (uzivatel %2)").arg(alias, user)};
    if (!connectError.isEmpty()) {
        lines.append(QStringLiteral("Pripojeni se nezdarilo: ") + connectError);
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    lines.append(QStringLiteral("%1 %2 %3  %4").arg(QStringLiteral("Polozka"), -48).arg(QStringLiteral("Pocet"), 6)
                     .arg(QStringLiteral("Ma byt"), 6).arg(QStringLiteral("Stav")));
    for (const ReadinessItem& item : items) {
        QString state;
        if (!item.count)
            state = QStringLiteral("CHYBA ") + item.error;
        else if (!item.left)
            state = QStringLiteral("OK");
        else
            state = (item.counted ? QStringLiteral("ZBYVA") : QStringLiteral("pozor (nepocita se)"))
                + (item.error.isEmpty() ? QString() : QStringLiteral(": ") + item.error);
        lines.append(QStringLiteral("%1 %2 %3  %4")
                         .arg(item.what, -48)
                         .arg(item.count ? QString::number(*item.count) : QStringLiteral("?"), 6)
                         .arg(item.expected, 6)
                         .arg(state));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

ReadinessReport CheckReadiness(db::Connection& connection, const StopProbe& stop)
{
    ReadinessReport report;
    try {
        connection.open();
    } catch (const db::EngineError& error) {
        report.connectError = engineErrorValues(error);
        return report;
    } catch (const db::ConnectAbandoned&) {
        throw Interrupted{stop()};
    } catch (const std::exception& error) {
        report.connectError = QString::fromLocal8Bit(error.what());
        return report;
    }
    try {
        for (const CountQuery& query : countQueries()) {
            if (stop())
                throw Interrupted{stop()};
            report.items.push_back(counted(connection, query));
        }
        if (stop())
            throw Interrupted{stop()};
        report.items.push_back(otherAttachments(connection));
    } catch (const db::ConnectAbandoned&) {
        throw Interrupted{stop()}; // the server went away, and a stop came while reconnecting
    }
    return report;
}

ReadinessReport CheckReadiness(const ConnectionSettings& settings, const StopProbe& stop)
{
    db::Connection connection;
    applyTo(connection, settings);
    connection.setInterruption([&stop] { return stop() != 0; });
    return CheckReadiness(connection, stop);
}

} // namespace update
