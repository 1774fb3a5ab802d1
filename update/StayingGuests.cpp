#include "update/StayingGuests.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "db/WholeNumber.h"
#include "update/CommandGuard.h"
#include "update/InstalledObjects.h"
#include "update/OlderSplitRepair.h"
#include "update/StayGroups.h"
#include "update/StayOptionRecord.h"
#include "update/safety/UpdateClaim.h"
#include "update/safety/OtherAttachments.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QElapsedTimer>

#include <array>
#include <functional>
#include <optional>
#include <set>

namespace update {

namespace {

const QString kGroupPrefix = QStringLiteral("               | ");
const QString kCutOff = QStringLiteral("31.12.2011");

std::optional<qint64> wholeNumber(const QString& text)
{
    return db::parseWholeNumber(text.toStdString());
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString splitCall(qint64 group)
{
    return QStringLiteral("execute procedure REC_DPH_DeleniPobytu(") + QString::number(group)
        + QStringLiteral(",\"31.12.2011\")");
}

class StayingGuests {
public:
    StayingGuests(UpdateSession& session, UpdateView& view, std::function<void(qint64, qint64)> groupEnded = {})
        : session_(session), view_(view), groupEnded_(std::move(groupEnded))
    {
    }

    bool run(int option)
    {
        if (option < 0 || option > 3)
            return true; // no item selected
        log(QStringLiteral("     volba %1   | ").arg(QLatin1Char(static_cast<char>('a' + option))));
        if (option == 0)
            return true;
        if (!objectsReady())
            return false;
        noteOption(option);
        RepairOlderSplits(session_);
        // Read before any group is touched: a group this run leaves half done waits for the next.
        const std::vector<StayGroup> unfinished = unfinishedGroups(session_.Database1, option);
        notePostingMarks();
        forEachGroup(option, unfinished);
        return true;
    }

private:
    void log(const QString& text) const { session_.log().WriteLog(text); }

    // Where the account items and cash-journal rows stood before the first group: what the
    // protocol counts as posted by this step comes after. Not known when the database will not say.
    void notePostingMarks()
    {
        if (!session_.writesProtocols())
            return;
        try {
            const db::ResultSet marks = session_.Database1.selectFirst(
                "select (select coalesce(max(ID), 0) from REC_CHECKDTL), (select coalesce(max(ID), 0) from "
                "REC_POKLDENIK) from RDB$DATABASE");
            session_.protocol().notePostingMarks({marks.integer(0), marks.integer(1)});
        } catch (const db::EngineError&) {
        }
    }

    // The groups' work calls what step 6 installs. Missing, not compiled or switched off, a group
    // would be split by nothing or posted and never closed; another text of it still works, and
    // the full update replaces it.
    bool objectsReady()
    {
        QStringList unusable;
        QStringList otherText;
        const QList<ServerObject> objects = serverObjects();
        const QList<ServerScript>& scripts = session_.serverScripts();
        for (int index = 0; index < objects.size() && index < scripts.size(); ++index) {
            const ObjectState state = installedState(session_.Database1, objects.at(index), scripts.at(index));
            const QString named = QStringLiteral("%1 (%2)").arg(objects.at(index).name, stateWord(state));
            if (state == ObjectState::OtherVersion)
                otherText.append(named);
            else if (state != ObjectState::Current)
                unusable.append(named);
        }
        if (!unusable.isEmpty()) {
            log(kGroupPrefix + QStringLiteral("Objekty kroku 6 chybi nebo nejsou platne: ")
                + unusable.join(QStringLiteral(", ")) + QStringLiteral("; krok 7 se neprovadi"));
            return false;
        }
        if (!otherText.isEmpty())
            log(kGroupPrefix + QStringLiteral("Objekty kroku 6 v jine verzi, nez instaluje tento program, se pouziji: ")
                + otherText.join(QStringLiteral(", ")));
        return true;
    }

    void noteOption(int option)
    {
        if (session_.onRehearsalCopy())
            return;
        const QString failure = StayOptionRecord(session_.programDir()).note(session_.settings().alias, option);
        if (!failure.isEmpty())
            log(kGroupPrefix + QStringLiteral("Volbu nelze zaznamenat pro kontrolu (--check): ") + failure);
    }

    // The groups in house first, as the stay query gives them, then those an earlier run left
    // half done. Only a group number that parsed as a whole number reaches a call; any other is
    // logged and skipped, so no malformed statement is sent.
    void forEachGroup(int option, const std::vector<StayGroup>& unfinished)
    {
        // A group number as the stay query gave it, and as a whole number when it is one.
        struct Pending {
            QString text;
            std::optional<StayGroup> group;
        };
        db::Query& groups = session_.QueryPobyty;
        groups.setSql(kStayQuery.toStdString());
        groups.open();
        std::vector<Pending> work;
        std::set<qint64> inHouse;
        std::set<qint64> nightsLeft = groupsWithNightsLeft(session_.Database1);
        for (; !groups.eof(); groups.next()) {
            const QString text = QString::fromStdString(groups.fieldText("CisloSkupiny"));
            const std::optional<qint64> number = wholeNumber(text);
            if (number && !nightsLeft.count(*number)) {
                // Splitting or closing it again would charge nothing and close its 2012 account.
                log(kGroupPrefix + QStringLiteral("Skupina %1: v datech pobytu nema co uctovat, preskakuje se").arg(text));
                continue;
            }
            work.push_back({text, number ? std::optional<StayGroup>({*number, GroupState::InHouse}) : std::nullopt});
            if (number)
                inHouse.insert(*number);
        }
        groups.close();
        // What the stay query misses: stays charged only in part, or without a status.
        for (const qint64 group : nightsLeft)
            if (inHouse.insert(group).second)
                work.push_back({QString::number(group), StayGroup{group, GroupState::InHouse}});
        for (const StayGroup& group : unfinished)
            if (!inHouse.count(group.group))
                work.push_back({QString::number(group.group), group});
        const auto total = static_cast<qint64>(work.size());
        qint64 done = 0;
        for (const Pending& pending : work) {
            if (pending.group) {
                {
                    // A stop waits for the group's end; a failure leaves a state the next run reads.
                    const UpdateSession::StopsHeld held(session_);
                    reached_.clear();
                    finish(option, *pending.group);
                    noteGroup(pending.group->group);
                }
                session_.throwIfStopRequested();
            } else {
                log(kGroupPrefix + QStringLiteral("Cislo skupiny '") + pending.text
                    + QStringLiteral("' neni cele cislo, skupina se preskakuje"));
            }
            if (groupEnded_)
                groupEnded_(++done, total);
            view_.processPendingMessages();
        }
    }

    void finish(int option, const StayGroup& group)
    {
        const qint64 number = group.group;
        if (group.state == GroupState::InHouse) {
            if (option != 1)
                log(kGroupPrefix + QString::number(number));
            if (option != 3 && !split(number, option))
                return;
        } else {
            reached_.append(QString::fromUtf8("dokončení skupiny, která byla: ") + stateText(group.state));
            log(kGroupPrefix + QStringLiteral("Skupina %1: %2, dokonceni: %3")
                                   .arg(QString::number(number), stateText(group.state), workLeftText(group.state, option)));
        }
        if (option == 1)
            return;
        const GroupState reached = group.state == GroupState::InHouse && option == 2 ? GroupState::SplitNotPosted
                                                                                       : group.state;
        postAndClose(number, option == 2 ? kCutOff : QStringLiteral("1.1.3000"), reached, option);
    }

    bool split(qint64 group, int option)
    {
        if (session_.runner().ExecSql(splitCall(group))) {
            reached_.append(QString::fromUtf8("rozdělena"));
            return true;
        }
        reached_.append(QString::fromUtf8("ponechána: rozdělení selhalo"));
        if (option == 2)
            log(kGroupPrefix + QStringLiteral("Skupina %1: rozdeleni selhalo, skupina zustava nerozdelena a neuctovana; "
                                              "pristi spusteni kroku 7 s volbou c ji zpracuje cele")
                                   .arg(group));
        else
            log(kGroupPrefix + QStringLiteral("Skupina %1: rozdeleni selhalo, skupina zustava nerozdelena; pristi "
                                              "spusteni kroku 7 ji rozdeli")
                                   .arg(group));
        return false;
    }

    QString nextRun(int option) const
    {
        return QStringLiteral("pristi spusteni kroku 7 s volbou %1 ji dokonci")
            .arg(QLatin1Char(static_cast<char>('a' + option)));
    }

    // Posts the group's accommodation up to `postedTo` and closes the account it went to.
    // `before`: where the group stands until the posting succeeds.
    void postAndClose(qint64 group, const QString& postedTo, GroupState before, int option)
    {
        StatementRunner& runner = session_.runner();
        // The group number is its paying client's number.
        const qint64 desk = FindCashDesk(runner, group);
        const QString posted = runner.SelectValue(QStringLiteral("select * from Rec_MM_MarkujUbytovaniKlienta(")
                                                  + QString::number(group)
                                                  + QStringLiteral(", ") + quoted(postedTo) + QStringLiteral(", ")
                                                  + QString::number(desk) + QStringLiteral(", \"Internal\")"));
        const std::optional<qint64> account = wholeNumber(posted);
        if (!account) {
            reached_.append(QString::fromUtf8("ponechána: namarkování ubytování nevrátilo číslo účtu"));
            log(kGroupPrefix + QStringLiteral("Skupina ") + QString::number(group)
                + QStringLiteral(": namarkovani UB nevratilo cislo uctu ('") + posted
                + QStringLiteral("'), ucet se neuzavira; skupina zustava: ") + stateText(before) + QStringLiteral("; ")
                + nextRun(option));
            return;
        }
        log(kGroupPrefix + QStringLiteral("Namarkovani UB na ucet ") + QString::number(*account));
        reached_.append((postedTo == kCutOff ? QString::fromUtf8("ubytování nocí do 30.12.2011 na účet %1")
                                             : QString::fromUtf8("celé ubytování na účet %1"))
                            .arg(*account));
        const QString newAccount = runner.SelectValue(QStringLiteral("select * from REC_DPH_UzavreniUctu(")
                                                      + QString::number(*account) + QStringLiteral(", ")
                                                      + quoted(kCutOff) + QStringLiteral(")"));
        if (wholeNumber(newAccount)) {
            log(kGroupPrefix + QStringLiteral("Uzavreni uctu, novy ucet ") + newAccount);
            reached_.append(QString::fromUtf8("účet uzavřen, nový %1").arg(newAccount));
            return;
        }
        reached_.append(QString::fromUtf8("ponechána: uzavření účtu %1 selhalo, účet zůstává otevřený").arg(*account));
        log(kGroupPrefix + QStringLiteral("Skupina %1: uzavreni uctu %2 selhalo ('%3'), ucet zustava otevreny; skupina "
                                          "zustava: %4; %5")
                               .arg(QString::number(group), QString::number(*account), newAccount,
                                    stateText(GroupState::PostedNotClosed), nextRun(option)));
    }

    // What step 7 reached with the group, for the night's protocol; what the database holds of
    // it is read when the protocol is written.
    void noteGroup(qint64 group)
    {
        ProtocolGroup reached;
        reached.group = group;
        reached.state = reached_.join(QStringLiteral("; "));
        session_.protocol().noteGroup(std::move(reached));
    }

    UpdateSession& session_;
    UpdateView& view_;
    const std::function<void(qint64, qint64)> groupEnded_;
    // What step 7 reached with the group it is working on.
    QStringList reached_;
};

} // namespace

bool ProcessStayingGuests(UpdateSession& session, UpdateView& view)
{
    return ProcessStayingGuests(session, view, view.stayingGuestsOption());
}

bool ProcessStayingGuests(UpdateSession& session, UpdateView& view, int option,
                          const std::function<void(qint64 done, qint64 total)>& groupEnded)
{
    return StayingGuests(session, view, groupEnded).run(option);
}

qint64 FindCashDesk(StatementRunner& runner, qint64 client)
{
    const std::array<QString, 3> lookups = {
        QStringLiteral("select CisloPokladny from REC_MM_KLIENT where CisloKlienta = ") + QString::number(client),
        QStringLiteral("select Min(REC_NUM) from QVT_BU where BU_TYPE = \"R\""),
        QStringLiteral("select Min(REC_NUM) from QVT_BU where REC_NUM > 0"),
    };
    QString desk;
    for (const QString& lookup : lookups) {
        desk = runner.SelectValue(lookup);
        if (!desk.isEmpty() && desk != kFailMarker)
            break;
    }
    return wholeNumber(desk).value_or(1);
}

} // namespace update
