#include "update/MoneyAtRisk.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "update/Amount.h"

#include <map>

namespace update {

namespace {

// Reservation numbers, line ID, currency, amount of the nights.
std::vector<LineAtRisk> read(db::Connection& connection, const char* sql)
{
    std::vector<LineAtRisk> lines;
    for (db::ResultSet rows = connection.select(sql); !rows.eof(); rows.next()) {
        LineAtRisk line;
        line.group = rows.integer(0);
        line.reservation = rows.integer(1);
        line.line = rows.integer(2);
        line.currency = QString::fromStdString(rows.text(3)).trimmed();
        line.cents = centsFromEngine(rows.text(4));
        if (line.cents != 0)
            lines.push_back(line);
    }
    return lines;
}

} // namespace

std::vector<LineAtRisk> linesNoPostingReaches(db::Connection& connection)
{
    // P ends on 31.12.2011 and Q, its 2012 part, holds a copy of one of P's lines across the date.
    return read(connection,
                "select CisloSkupiny, CisloRezervace, ID, Mena, max(Cena * Pocet * Noci) from ("
                "select P.CisloSkupiny, P.CisloRezervace, L.ID, L.Mena, L.Cena, coalesce(L.Pocet, 1) as Pocet, "
                "cast(minvalue(L.DatumDO, Q.DatumOdjezd) - maxvalue(L.DatumOD, coalesce(L.MarkovanoDo, L.DatumOD), "
                "P.DatumOdjezd) as integer) as Noci "
                "from rec_mm_rezervace P join rec_mm_rezdet L on L.CisloRezervace = P.CisloRezervace "
                "join rec_mm_rezervace Q on Q.CisloSkupiny = P.CisloSkupiny and Q.DatumPrijezd = '31.12.2011' and "
                "Q.CisloRezervace <> P.CisloRezervace and (Q.Status is null or Q.Status <> 8) "
                "where P.DatumOdjezd = '31.12.2011' and (P.Status is null or P.Status <> 8) "
                "and L.DatumDO > '31.12.2011' and (L.MarkovanoDo is null or L.MarkovanoDo < L.DatumDO) "
                "and exists (select 1 from rec_mm_rezdet PL join rec_mm_rezdet QL on QL.CisloSluzby = PL.CisloSluzby "
                "and QL.DatumOD = PL.DatumOD and QL.DatumDO = PL.DatumDO where PL.CisloRezervace = P.CisloRezervace "
                "and QL.CisloRezervace = Q.CisloRezervace and PL.DatumOD < '31.12.2011' and PL.DatumDO > "
                "'31.12.2011') "
                "and not exists (select 1 from rec_mm_rezdet QL where QL.CisloRezervace = Q.CisloRezervace and "
                "QL.CisloSluzby = L.CisloSluzby and QL.DatumOD = L.DatumOD and QL.DatumDO = L.DatumDO)"
                ") where Noci > 0 group by 1, 2, 3, 4 order by 1, 2, 3");
}

std::vector<LineAtRisk> chargesOfCancelledStays(db::Connection& connection)
{
    return read(
        connection,
        "select R.CisloSkupiny, R.CisloRezervace, L.ID, L.Mena, L.Cena * coalesce(L.Pocet, 1) * "
        "cast(minvalue(L.MarkovanoDo, L.DatumDO, R.DatumOdjezd) - maxvalue(L.DatumOD, R.DatumPrijezd) as integer) "
        "from rec_mm_rezervace R join rec_mm_rezdet L on L.CisloRezervace = R.CisloRezervace "
        "where R.Status = 8 and R.DatumPrijezd <= '31.12.2011' and R.DatumOdjezd >= '31.12.2011' "
        "and L.MarkovanoDo > maxvalue(L.DatumOD, R.DatumPrijezd) "
        "order by 1, 2, 3");
}

std::vector<LineAtRisk> copiesOfChargedLines(db::Connection& connection)
{
    return read(connection,
                "select Q.CisloSkupiny, Q.CisloRezervace, QL.ID, QL.Mena, max(QL.Cena * coalesce(QL.Pocet, 1) * "
                "cast(minvalue(PL.MarkovanoDo, QL.DatumDO, Q.DatumOdjezd) - maxvalue(cast('31.12.2011' as date), "
                "coalesce(QL.MarkovanoDo, cast('31.12.2011' as date))) as integer)) "
                "from rec_mm_rezervace Q join rec_mm_rezdet QL on QL.CisloRezervace = Q.CisloRezervace "
                "join rec_mm_rezervace P on P.CisloSkupiny = Q.CisloSkupiny and P.DatumOdjezd = '31.12.2011' "
                "join rec_mm_rezdet PL on PL.CisloRezervace = P.CisloRezervace and PL.CisloSluzby = QL.CisloSluzby "
                "and PL.DatumOD = QL.DatumOD and PL.DatumDO = QL.DatumDO "
                "where Q.DatumPrijezd = '31.12.2011' and (Q.Status is null or Q.Status <> 8) "
                "and QL.DatumOD < '31.12.2011' and QL.DatumDO > '31.12.2011' and PL.MarkovanoDo > '31.12.2011' "
                "and (QL.MarkovanoDo is null or QL.MarkovanoDo < PL.MarkovanoDo) "
                "group by 1, 2, 3, 4 having max(QL.Cena * coalesce(QL.Pocet, 1) * cast(minvalue(PL.MarkovanoDo, "
                "QL.DatumDO, Q.DatumOdjezd) - maxvalue(cast('31.12.2011' as date), coalesce(QL.MarkovanoDo, "
                "cast('31.12.2011' as date))) as integer)) > 0 order by 1, 2, 3");
}

QStringList describeLines(const std::vector<LineAtRisk>& lines, std::size_t named)
{
    QStringList texts;
    std::map<QString, qint64> totals;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const LineAtRisk& line = lines[index];
        totals[line.currency] += line.cents;
        if (index < named)
            texts.append(QStringLiteral("%1/%2/%3 %4 %5")
                             .arg(line.group)
                             .arg(line.reservation)
                             .arg(line.line)
                             .arg(amountText(line.cents), line.currency)
                             .trimmed());
    }
    if (lines.size() > named)
        texts.append(QStringLiteral("a dalsich %1").arg(lines.size() - named));
    for (const auto& [currency, cents] : totals)
        texts.append(QStringLiteral("celkem %1 %2").arg(amountText(cents), currency).trimmed());
    return texts;
}

} // namespace update
