#include "update/GroupFigures.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QStringList>

#include <algorithm>
#include <string>

namespace update {

namespace {

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

} // namespace

ProtocolGroup groupFigures(db::Connection& connection, qint64 group)
{
    ProtocolGroup figures;
    figures.group = group;
    const std::string number = std::to_string(group);
    db::ResultSet reservations = connection.select(
        "select r.CisloRezervace, "
        "cast(iif(r.DatumOdjezd < cast('31.12.2011' as date), r.DatumOdjezd, cast('31.12.2011' as date)) "
        "- r.DatumPrijezd as integer), "
        "cast(r.DatumOdjezd - iif(r.DatumPrijezd > cast('31.12.2011' as date), r.DatumPrijezd, "
        "cast('31.12.2011' as date)) as integer) "
        "from REC_MM_REZERVACE r where r.CisloSkupiny = " + number
        + " and (r.Status is null or r.Status <> 8) order by r.CisloRezervace");
    QStringList numbers;
    for (; !reservations.eof(); reservations.next()) {
        numbers.append(QString::fromStdString(reservations.text(0)));
        if (!reservations.isNull(1))
            figures.nights2011 += std::max<std::int64_t>(reservations.integer(1), 0);
        if (!reservations.isNull(2))
            figures.nights2012 += std::max<std::int64_t>(reservations.integer(2), 0);
    }
    figures.reservations = numbers.join(QStringLiteral(", "));
    db::ResultSet accounts = connection.select("select h.CisloUctu, h.Status from REC_CHECKHEAD h where h.CisloKlienta = "
                                               + number + " order by h.CisloUctu");
    QStringList named;
    for (; !accounts.eof(); accounts.next())
        named.append(QString::fromStdString(accounts.text(0))
                     + (accounts.text(1) == "2" ? QString::fromUtf8(" (uzavřen)") : QString()));
    figures.accounts = named.join(QStringLiteral(", "));
    // Summed by the engine, exactly as NUMERIC.
    const std::string items = "select sum(d.TRZBA) from REC_CHECKDTL d join REC_CHECKHEAD h on h.CisloUctu = d.CisloUctu "
                              "where h.CisloKlienta = " + number + " and d.DPH = ";
    const db::ResultSet charged = connection.selectFirst("select (" + items + "10), (" + items + "14) from RDB$DATABASE");
    figures.charged10 = amount(charged.text(0));
    figures.charged14 = amount(charged.text(1));
    return figures;
}

} // namespace update
