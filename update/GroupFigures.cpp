#include "update/GroupFigures.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QStringList>

#include <algorithm>
#include <map>
#include <string>

namespace update {

namespace {

// Well under the engine's limit of 1500 values in one IN list.
constexpr std::size_t kGroupsPerQuery = 500;

// "1234.5" as the accountant reads it: "1234,50"; none as "0,00".
QString amount(const std::string& engineText)
{
    QString text = QString::fromStdString(engineText);
    if (text.isEmpty())
        text = QStringLiteral("0");
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    const QString cents = point < 0 ? QString() : text.mid(point + 1);
    return whole + QLatin1Char(',') + (cents + QStringLiteral("00")).left(std::max<qsizetype>(cents.size(), 2));
}

void fillSome(db::Connection& connection, std::vector<ProtocolGroup*>& some)
{
    std::string list;
    std::map<std::string, ProtocolGroup*> byNumber;
    for (ProtocolGroup* group : some) {
        const std::string number = std::to_string(group->group);
        list += (list.empty() ? "" : ",") + number;
        byNumber[number] = group;
    }
    for (db::ResultSet reservations = connection.select(
             "select r.CisloSkupiny, r.CisloRezervace, "
             "cast(iif(r.DatumOdjezd < cast('31.12.2011' as date), r.DatumOdjezd, cast('31.12.2011' as date)) "
             "- r.DatumPrijezd as integer), "
             "cast(r.DatumOdjezd - iif(r.DatumPrijezd > cast('31.12.2011' as date), r.DatumPrijezd, "
             "cast('31.12.2011' as date)) as integer) "
             "from REC_MM_REZERVACE r where r.CisloSkupiny in (" + list
             + ") and (r.Status is null or r.Status <> 8) order by r.CisloSkupiny, r.CisloRezervace");
         !reservations.eof(); reservations.next()) {
        ProtocolGroup& group = *byNumber.at(reservations.text(0));
        group.reservations += (group.reservations.isEmpty() ? QString() : QStringLiteral(", "))
            + QString::fromStdString(reservations.text(1));
        if (!reservations.isNull(2))
            group.nights2011 += std::max<std::int64_t>(reservations.integer(2), 0);
        if (!reservations.isNull(3))
            group.nights2012 += std::max<std::int64_t>(reservations.integer(3), 0);
    }
    for (db::ResultSet accounts = connection.select("select h.CisloKlienta, h.CisloUctu, h.Status from REC_CHECKHEAD h "
                                                    "where h.CisloKlienta in (" + list
                                                    + ") order by h.CisloKlienta, h.CisloUctu");
         !accounts.eof(); accounts.next()) {
        ProtocolGroup& group = *byNumber.at(accounts.text(0));
        group.accounts += (group.accounts.isEmpty() ? QString() : QStringLiteral(", "))
            + QString::fromStdString(accounts.text(1))
            + (accounts.text(2) == "2" ? QString::fromUtf8(" (uzavřen)") : QString());
    }
    // Summed by the engine, exactly as NUMERIC.
    for (db::ResultSet charged = connection.select(
             "select h.CisloKlienta, sum(iif(d.DPH = 10, d.TRZBA, 0)), sum(iif(d.DPH = 14, d.TRZBA, 0)) "
             "from REC_CHECKHEAD h join REC_CHECKDTL d on d.CisloUctu = h.CisloUctu where h.CisloKlienta in (" + list
             + ") group by h.CisloKlienta");
         !charged.eof(); charged.next()) {
        ProtocolGroup& group = *byNumber.at(charged.text(0));
        group.charged10 = amount(charged.text(1));
        group.charged14 = amount(charged.text(2));
    }
}

} // namespace

void fillGroupFigures(db::Connection& connection, std::vector<ProtocolGroup>& groups)
{
    std::vector<ProtocolGroup*> some;
    for (std::size_t at = 0; at < groups.size(); ++at) {
        ProtocolGroup& group = groups[at];
        group.charged10 = group.charged14 = amount({});
        some.push_back(&group);
        if (some.size() == kGroupsPerQuery || at + 1 == groups.size()) {
            fillSome(connection, some);
            some.clear();
        }
    }
}

} // namespace update
