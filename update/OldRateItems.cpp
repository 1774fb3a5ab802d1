#include "update/OldRateItems.h"

namespace update {

namespace {

// A banquet document of an item list: dated from 1.1.2012 on.
RateMove listDocument(const char* table)
{
    return {QString::fromLatin1(table) + QStringLiteral(" A"), QStringLiteral("A.VAT = 14"),
            QStringLiteral("A.VAT is not null and A.VAT = 10 and (select B.STO_DATE from FBS_PROD_LISTS B where "
                           "A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\"")};
}

// A banquet document of a production process: of the banquet kinds 20 and 21.
RateMove processDocument(const char* table)
{
    return {QString::fromLatin1(table) + QStringLiteral(" A"), QStringLiteral("A.VAT = 14"),
            QStringLiteral("A.VAT is not null and A.VAT = 10 and (select PROC_TYPE from FBS_PROD_PROCS B where "
                           "A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)")};
}

} // namespace

QString RateMove::statement() const
{
    const QString statement = QStringLiteral("update %1 set %2 where %3").arg(table, newRate, oldRate);
    return onlyIf.isEmpty() ? statement : statement + QStringLiteral(" and ") + onlyIf;
}

QString RateMove::countLeft() const
{
    return QStringLiteral("select count(*) from %1 where %2").arg(table, oldRate);
}

QString RateMove::worthMoved() const
{
    if (price.isEmpty())
        return {};
    return QStringLiteral("select %1, sum(%2) from %3 where rdb$record_version = current_transaction and %4 group by 1")
        .arg(currency, price, table, newRate);
}

RateMove posTaxes()
{
    return {QStringLiteral("pos_taxes"), QStringLiteral("pos_taxes.percentage = 14"),
            QStringLiteral("pos_taxes.percentage = 10")};
}

RateMove receptionServices()
{
    return {QStringLiteral("cissluz"), QStringLiteral("cissluz.dph = 14"),
            QStringLiteral("cissluz.dph = 10 and cissluz.typsluzby <> 1"), {}, QStringLiteral("cissluz.cena"),
            QStringLiteral("cissluz.mena")};
}

RateMove settingsRates()
{
    return {QStringLiteral("QVT_KONFIG"), QStringLiteral("QVT_KONFIG.hodnotacz = \"14\""),
            QStringLiteral("QVT_KONFIG.hodnotacz = \"10\" and QVT_KONFIG.Item like \"DPHSazba%\"")};
}

RateMove reservations()
{
    return {QStringLiteral("rec_mm_rezdet"), QStringLiteral("DPH = 14"),
            // The 2011 part of a split stay stays at 10; the 2012 part's copy of a line moves like
            // its source would have before the split: unless that was charged already.
            QStringLiteral("MarkovanoDo is null and DPH = 10 and rec_mm_rezdet.datumdo >= \"1.1.2012\" and not exists "
                           "(select 1 from rec_mm_rezervace R where R.CisloRezervace = rec_mm_rezdet.cislorezervace "
                           "and (R.DatumOdjezd <= \"31.12.2011\" or (R.DatumPrijezd = \"31.12.2011\" and "
                           "rec_mm_rezdet.datumod < \"31.12.2011\" and not exists (select 1 from rec_mm_rezervace P "
                           "join rec_mm_rezdet PL on PL.CisloRezervace = P.CisloRezervace where P.CisloSkupiny = "
                           "R.CisloSkupiny and P.DatumOdjezd = \"31.12.2011\" and PL.DatumOD = rec_mm_rezdet.DatumOD "
                           "and PL.DatumDO = rec_mm_rezdet.DatumDO and PL.CisloSluzby = rec_mm_rezdet.CisloSluzby and "
                           "(PL.MarkovanoDo is null or PL.MarkovanoDo = \"31.12.2011\")))))"),
            {},
            // Each line for its whole period.
            QStringLiteral("rec_mm_rezdet.cena * coalesce(rec_mm_rezdet.pocet, 1) * (rec_mm_rezdet.datumdo - "
                           "rec_mm_rezdet.datumod)"),
            QStringLiteral("rec_mm_rezdet.mena")};
}

RateMove stockItems()
{
    return {QStringLiteral("FBS_STOCK_ITM"), QStringLiteral("ID_VAT = (select first 1 ID_VAT from FBS_VAT where VAT_RATE = 14)"),
            QStringLiteral("ID_VAT in (select ID_VAT from FBS_VAT where VAT_RATE = 10)"),
            // Without a rate 14 the items would lose their rate; they wait for the full update's step 2.
            QStringLiteral("exists (select 1 from FBS_VAT where VAT_RATE = 14)")};
}

QList<RateMove> banquetDocuments()
{
    return {listDocument("FBS_PROD_LIST_ITM"), listDocument("FBS_PROD_LIST_ITM_R"), listDocument("FBS_PROD_LISTS_R"),
            processDocument("FBS_PROD_PROCS_R"), processDocument("FBS_PROD_ITEMS_R")};
}

} // namespace update
