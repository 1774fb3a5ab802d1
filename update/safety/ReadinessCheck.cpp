#include "update/safety/ReadinessCheck.h"

#include "db/AttachmentBeside.h"
#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/InstalledObjects.h"
#include "update/MoneyAtRisk.h"
#include "update/OldRateItems.h"
#include "update/safety/OtherAttachments.h"
#include "update/ServerScripts.h"
#include "update/Stop.h"
#include "update/StatementRunner.h"
#include "update/StayGroups.h"
#include "update/StayingGuests.h"
#include "update/VisibleText.h"

#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <utility>

namespace update {

namespace {

enum class Expect { Zero, AtLeastOne };

// One line of the report, read through the connection given.
using ItemRead = std::function<ReadinessItem(db::Connection&)>;

struct CountQuery {
    QString what;
    Expect expect;
    bool counted;
    QString sql;
};

// The banquet documents that the stock command moves, in one sum.
QString banquetDocumentsLeft()
{
    QStringList counts;
    for (const RateMove& documents : banquetDocuments())
        counts.append(QLatin1Char('(') + documents.countLeft() + QLatin1Char(')'));
    return QStringLiteral("select ") + counts.join(QStringLiteral(" + ")) + QStringLiteral(" from RDB$DATABASE");
}

// Steps 1 to 5, counted with the update's own conditions.
std::vector<CountQuery> rateQueries()
{
    return {
        {QStringLiteral("1 POS: dane se sazbou 10"), Expect::Zero, true, posTaxes().countLeft()},
        {QStringLiteral("2 FBS: sazba 14 (aspon jeden radek)"), Expect::AtLeastOne, true, kRate14Count},
        {QStringLiteral("3 REC: sluzby se sazbou 10 (typ mimo 1)"), Expect::Zero, true, receptionServices().countLeft()},
        // Step 3 leaves these: the operator decides what an untyped service is.
        {QStringLiteral("3 REC: sluzby se sazbou 10 bez typu"), Expect::Zero, false, kUntypedServicesAtOldRateCount},
        {QStringLiteral("4 Nastaveni DPHSazba% = \"10\""), Expect::Zero, true, settingsRates().countLeft()},
        {QStringLiteral("5 Rezervace od 1.1.2012 se sazbou 10"), Expect::Zero, true, reservations().countLeft()},
    };
}

// Option a leaves the staying guests on purpose.
CountQuery stayingGroupsQuery()
{
    return {QStringLiteral("7 Skupiny bydlici pres 31.12.2011"), Expect::Zero, false,
            QStringLiteral("select count(*) from (") + kStayQuery + QStringLiteral(")")};
}

// What the stock command moves after New Year.
std::vector<CountQuery> afterNewYearQueries()
{
    return {{QStringLiteral("Skladove polozky se sazbou 10 (po Novem roce)"), Expect::Zero, false,
             stockItems().countLeft()},
            {QStringLiteral("Doklady rautu se sazbou 10 (po Novem roce)"), Expect::Zero, false,
             banquetDocumentsLeft()}};
}

ReadinessItem counted(db::Connection& connection, const CountQuery& query)
{
    ReadinessItem item;
    item.what = query.what;
    item.expected = query.expect == Expect::AtLeastOne ? QStringLiteral(">=1") : QStringLiteral("0");
    item.counted = query.counted;
    try {
        item.count = connection.select(query.sql.toStdString()).integer(0);
        item.left = query.expect == Expect::AtLeastOne ? *item.count < 1 : *item.count != 0;
    } catch (const db::EngineError& error) {
        item.error = engineErrorValues(error);
    }
    return item;
}

// Step 6: the object is there, compiled, active and exactly the text the update installs.
ReadinessItem serverObject(db::Connection& connection, const ServerObject& object, const ServerScript& script)
{
    ReadinessItem item;
    item.what = QStringLiteral("6 %1 aktualni verze").arg(object.name);
    item.expected = QStringLiteral("1");
    try {
        const ObjectState state = installedState(connection, object, script);
        item.count = state == ObjectState::Current ? 1 : 0;
        item.left = state != ObjectState::Current;
        if (item.left)
            item.error = stateWord(state);
    } catch (const db::EngineError& error) {
        item.error = engineErrorValues(error);
    }
    return item;
}

// A line that counts what `find` finds and names it.
ReadinessItem listing(const QString& what, bool counted, const std::function<std::pair<qint64, QStringList>()>& find)
{
    ReadinessItem item;
    item.what = what;
    item.expected = QStringLiteral("0");
    item.counted = counted;
    try {
        const auto [count, names] = find();
        item.count = count;
        item.left = count > 0;
        item.error = names.join(QStringLiteral("; "));
    } catch (const db::EngineError& error) {
        item.error = engineErrorValues(error);
    }
    return item;
}

// The stay groups step 7 must still finish for the option, each with what is left (the first
// twenty named).
ReadinessItem unfinishedStayGroups(db::Connection& connection, std::optional<int> option)
{
    const QString what = option && *option > 0
        ? QStringLiteral("7 Skupiny k dokonceni (volba %1)").arg(QLatin1Char(static_cast<char>('a' + *option)))
        : QStringLiteral("7 Skupiny namarkovane, ucet neuzavren");
    return listing(what, true, [&] {
        const std::vector<StayGroup> groups = groupsLeft(connection, option);
        constexpr std::size_t kNamed = 20;
        QStringList named;
        for (std::size_t index = 0; index < groups.size() && index < kNamed; ++index)
            named.append(describeGroup(connection, groups[index]) + QStringLiteral(", zbyva ")
                         + workLeftText(groups[index].state, option.value_or(2)));
        if (groups.size() > kNamed)
            named.append(QStringLiteral("a dalsich %1").arg(groups.size() - kNamed));
        return std::pair{static_cast<qint64>(groups.size()), named};
    });
}

// Lines whose money the hotel's posting gets wrong, each with its amount.
ReadinessItem linesAtRisk(const QString& what, bool counted, const std::function<std::vector<LineAtRisk>()>& find)
{
    std::vector<LineAtRisk> lines;
    ReadinessItem item = listing(what, counted, [&] {
        lines = find();
        return std::pair{static_cast<qint64>(lines.size()), describeLines(lines)};
    });
    item.lines = std::move(lines);
    return item;
}

// What no posting will charge, or charges for a stay that was cancelled: the update's to mend.
std::vector<ItemRead> moneyItems()
{
    return {[](db::Connection& connection) {
                return linesAtRisk(QStringLiteral("7 Noci od 31.12.2011 na 1. dilu, neuctovane"), true,
                                   [&] { return linesNoPostingReaches(connection); });
            },
            [](db::Connection& connection) {
                return linesAtRisk(QStringLiteral("7 Uctovani zrusenych rezervaci"), true,
                                   [&] { return chargesOfCancelledStays(connection); });
            },
            // Charged before the night on the hotel's own decision: the accountant decides.
            [](db::Connection& connection) {
                return linesAtRisk(QStringLiteral("7 Pobyty od 31.12.2011 s kopii uctovaneho radku"), false,
                                   [&] { return copiesOfChargedLines(connection); });
            }};
}

// Attachments marked as running an update (another instance), or carrying a forged mark.
ReadinessItem claimMarks(db::Connection& connection)
{
    return listing(QStringLiteral("Pripojeni se znackou aktualizace"), false, [&] {
        QStringList named;
        for (const std::string& marked : connection.markedAttachments())
            named.append(visibleText(QString::fromStdString(marked)));
        return std::pair{static_cast<qint64>(named.size()), named};
    });
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

ReadinessReport CheckReadiness(db::Connection& connection, const StopProbe& stop, std::optional<int> option,
                               const std::function<void()>& beforeAttachments, bool secondAttachment)
{
    const QList<ServerScript> scripts = ServerScripts();
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
    // The report's items in its order, up to the attachments.
    std::vector<ItemRead> reads;
    for (const CountQuery& query : rateQueries())
        reads.push_back([query](db::Connection& own) { return counted(own, query); });
    const std::size_t step5Lines = reads.size() - 1; // the last of the steps' counts
    const QList<ServerObject> objects = serverObjects();
    for (int index = 0; index < objects.size() && index < scripts.size(); ++index)
        reads.push_back([object = objects.at(index), script = scripts.at(index)](db::Connection& own) {
            return serverObject(own, object, script);
        });
    const std::size_t stayingGroups = reads.size();
    reads.push_back([](db::Connection& own) { return counted(own, stayingGroupsQuery()); });
    reads.push_back([option](db::Connection& own) { return unfinishedStayGroups(own, option); });
    const std::size_t money = reads.size();
    for (ItemRead& read : moneyItems())
        reads.push_back(std::move(read));
    const std::size_t moneyEnd = reads.size();
    for (const CountQuery& query : afterNewYearQueries())
        reads.push_back([query](db::Connection& own) { return counted(own, query); });
    // Both attachments take the next item left, the longest reads first (the stay groups, step 5's
    // lines, the money at risk), so that neither waits long for the other at the end.
    std::vector<std::size_t> order = {stayingGroups + 1, stayingGroups, step5Lines};
    for (std::size_t index = money; index < moneyEnd; ++index)
        order.push_back(index);
    for (std::size_t index = 0; index < reads.size(); ++index)
        if (std::find(order.begin(), order.end(), index) == order.end())
            order.push_back(index);
    std::vector<std::optional<ReadinessItem>> items(reads.size());
    std::atomic<std::size_t> taken{0};
    const auto readNext = [&](db::Connection& own) {
        const std::size_t at = taken.fetch_add(1);
        if (at >= order.size())
            return false;
        items[order[at]] = reads[order[at]](own);
        return true;
    };
    // Set when the caller's side ends by a stop: the other side then takes nothing more.
    std::atomic<bool> stopping{false};
    std::optional<db::AttachmentBeside> beside;
    if (secondAttachment)
        beside.emplace(
            connection,
            [&](db::Connection& own) {
                try {
                    while (!stopping.load() && readNext(own)) {
                    }
                } catch (const db::ConnectAbandoned&) {
                    // A reconnect given up after a stop: its item is left for the caller's side.
                }
            },
            [&stopping] { return stopping.load(); });
    const auto stopBeside = qScopeGuard([&stopping] { stopping.store(true); });
    try {
        do
            stopIfAsked();
        while (readNext(connection));
        if (beside) {
            // An attachment still being made is waited for (its connect timeout bounds it): given
            // up, it would arrive later and be counted among the other attachments below.
            try {
                beside->wait();
            } catch (const db::EngineError&) {
                if (beside->attached())
                    throw;
            }
            report.besideTransactions = beside->transactionsStarted();
            report.besideAttachments = beside->attachmentsMade();
        }
        // What the other side could not read (no second attachment, or one lost on the way) is read here.
        for (std::size_t index = 0; index < items.size(); ++index)
            if (!items[index]) {
                stopIfAsked();
                items[index] = reads[index](connection);
            }
        stopIfAsked();
        for (std::optional<ReadinessItem>& item : items)
            report.items.push_back(std::move(*item));
        if (beforeAttachments)
            beforeAttachments();
        stopIfAsked();
        report.items.push_back(otherAttachments(connection));
        stopIfAsked();
        report.items.push_back(claimMarks(connection));
    } catch (const db::ConnectAbandoned&) {
        throw Interrupted{stop()}; // the server went away, and a stop came while reconnecting
    }
    return report;
}

ReadinessReport CheckReadiness(const ConnectionSettings& settings, const StopProbe& stop, std::optional<int> option)
{
    db::Connection connection;
    applyTo(connection, settings);
    connection.setInterruption([&stop] { return stop() != 0; });
    return CheckReadiness(connection, stop, option);
}

} // namespace update
