#include "update/safety/ReadinessCheck.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/OldRateItems.h"
#include "update/safety/OtherAttachments.h"
#include "update/ServerScripts.h"
#include "update/Stop.h"
#include "update/StatementRunner.h"
#include "update/StayingGuests.h"

#include <QStringList>

namespace update {

namespace {

enum class Expect { Zero, One };

struct CountQuery {
    QString what;
    Expect expect;
    bool counted;
    QString sql;
};

// A valid object of the update's step 6, a trigger also active.
CountQuery serverObjectQuery(const ServerObject& object)
{
    const QString name = object.name.toUpper();
    if (object.trigger)
        return {QStringLiteral("6 %1 platny a aktivni").arg(object.name), Expect::One, true,
                QStringLiteral("select count(*) from RDB$TRIGGERS where RDB$TRIGGER_NAME = '%1' and RDB$VALID_BLR = 1 "
                               "and RDB$TRIGGER_INACTIVE = 0")
                    .arg(name)};
    return {QStringLiteral("6 %1 platna").arg(object.name), Expect::One, true,
            QStringLiteral("select count(*) from RDB$PROCEDURES where RDB$PROCEDURE_NAME = '%1' and RDB$VALID_BLR = 1")
                .arg(name)};
}

// The banquet documents that the stock command moves, in one sum.
QString banquetDocumentsLeft()
{
    QStringList counts;
    for (const RateMove& documents : banquetDocuments())
        counts.append(QLatin1Char('(') + documents.countLeft() + QLatin1Char(')'));
    return QStringLiteral("select ") + counts.join(QStringLiteral(" + ")) + QStringLiteral(" from RDB$DATABASE");
}

std::vector<CountQuery> countQueries()
{
    std::vector<CountQuery> queries = {
        {QStringLiteral("1 POS: dane se sazbou 10"), Expect::Zero, true, posTaxes().countLeft()},
        {QStringLiteral("2 FBS: sazba 14 (prave jeden radek)"), Expect::One, true, kRate14Count},
        {QStringLiteral("3 REC: sluzby se sazbou 10 (typ mimo 1)"), Expect::Zero, true, receptionServices().countLeft()},
        {QStringLiteral("4 Nastaveni DPHSazba% = \"10\""), Expect::Zero, true, settingsRates().countLeft()},
        {QStringLiteral("5 Rezervace od 1.1.2012 se sazbou 10"), Expect::Zero, true, reservations().countLeft()},
    };
    for (const ServerObject& object : serverObjects())
        queries.push_back(serverObjectQuery(object));
    queries.insert(queries.end(),
                   {{QStringLiteral("7 Skupiny bydlici pres 31.12.2011"), Expect::Zero, false,
                     QStringLiteral("select count(*) from (") + kStayQuery + QStringLiteral(")")},
                    {QStringLiteral("Skladove polozky se sazbou 10 (po Novem roce)"), Expect::Zero, false,
                     stockItems().countLeft()},
                    {QStringLiteral("Doklady rautu se sazbou 10 (po Novem roce)"), Expect::Zero, false,
                     banquetDocumentsLeft()}});
    return queries;
}

ReadinessItem counted(db::Connection& connection, const CountQuery& query)
{
    ReadinessItem item;
    item.what = query.what;
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
    const auto stopIfAsked = [&stop] {
        if (const int signal = stop())
            throw Interrupted{signal};
    };
    try {
        for (const CountQuery& query : countQueries()) {
            stopIfAsked();
            report.items.push_back(counted(connection, query));
        }
        stopIfAsked();
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
