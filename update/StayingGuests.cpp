#include "update/StayingGuests.h"

#include "db/WholeNumber.h"
#include "update/CommandGuard.h"
#include "update/InstalledObjects.h"
#include "update/safety/UpdateClaim.h"
#include "update/safety/OtherAttachments.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <array>
#include <functional>
#include <optional>

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
        switch (option) {
        case 1:
            forEachGroup([this](qint64 group) { split(group); });
            break;
        case 2:
            forEachGroup([this](qint64 group) {
                log(kGroupPrefix + QString::number(group));
                split(group);
                postAndClose(group, kCutOff);
            });
            break;
        default:
            forEachGroup([this](qint64 group) {
                log(kGroupPrefix + QString::number(group));
                postAndClose(group, QStringLiteral("1.1.3000"));
            });
            break;
        }
        return true;
    }

private:
    void log(const QString& text) const { session_.log().WriteLog(text); }

    // The groups' work calls what step 6 installs. An older text, or none, would post a stay
    // without closing it or split it by other rules, and a later run could no longer find the group.
    bool objectsReady()
    {
        const QStringList missing = objectsNotCurrent(session_.Database1, session_.serverScripts());
        if (missing.isEmpty())
            return true;
        log(kGroupPrefix + QStringLiteral("Objekty kroku 6 nejsou v databazi v aktualni verzi: ")
            + missing.join(QStringLiteral(", ")) + QStringLiteral("; krok 7 se neprovadi"));
        return false;
    }

    // Only a group number that parsed as a whole number reaches a call; any other is logged and
    // skipped, so no malformed statement is sent.
    void forEachGroup(const std::function<void(qint64)>& work)
    {
        db::Query& groups = session_.QueryPobyty;
        groups.setSql(kStayQuery.toStdString());
        groups.open();
        const auto total = static_cast<qint64>(groups.rowCount());
        qint64 done = 0;
        while (!groups.eof()) {
            const QString text = QString::fromStdString(groups.fieldText("CisloSkupiny"));
            if (const std::optional<qint64> group = wholeNumber(text)) {
                {
                    // A group split but not posted, or posted but not closed, is no longer found
                    // by a later run: a stop waits for the group's end.
                    const UpdateSession::StopsHeld held(session_);
                    work(*group);
                }
                session_.throwIfStopRequested();
            } else
                log(kGroupPrefix + QStringLiteral("Cislo skupiny '") + text
                    + QStringLiteral("' neni cele cislo, skupina se preskakuje"));
            groups.next();
            if (groupEnded_)
                groupEnded_(++done, total);
            view_.processPendingMessages();
        }
        groups.close();
    }

    void split(qint64 group) { session_.runner().ExecSql(splitCall(group)); }

    // Posts the group's accommodation up to `postedTo` and closes the account it went to.
    void postAndClose(qint64 group, const QString& postedTo)
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
            log(kGroupPrefix + QStringLiteral("Skupina ") + QString::number(group)
                + QStringLiteral(": namarkovani UB nevratilo cislo uctu ('") + posted
                + QStringLiteral("'), ucet se neuzavira"));
            return;
        }
        log(kGroupPrefix + QStringLiteral("Namarkovani UB na ucet ") + QString::number(*account));
        const QString newAccount = runner.SelectValue(QStringLiteral("select * from REC_DPH_UzavreniUctu(")
                                                      + QString::number(*account) + QStringLiteral(", ")
                                                      + quoted(kCutOff) + QStringLiteral(")"));
        log(kGroupPrefix + QStringLiteral("Uzavreni uctu, novy ucet ") + newAccount);
    }

    UpdateSession& session_;
    UpdateView& view_;
    const std::function<void(qint64, qint64)> groupEnded_;
};

// Step 7 on its own, the claim held.
bool stayingGuestsAloneClaimed(UpdateSession& session, UpdateView& view)
{
    // Pending messages are processed per group, so a second command could otherwise start inside
    // this one, or "Konec" could close the window under it.
    const ButtonStates before(view);
    setAllButtonsEnabled(view, false);
    const auto restoreButtons = [&] { before.restore(view); };
    return runRecoveringFromErrors(
        session, view,
        [&] {
            if (!confirmOtherAttachments(session, view)) {
                restoreButtons();
                return;
            }
            session.log().WriteLog(QStringLiteral("START KROK 7   | "));
            view.setIndicatorRunning(true);
            const bool ran = ProcessStayingGuests(session, view);
            view.setIndicatorRunning(false);
            if (ran) {
                view.ShowInfo(3);
            } else {
                session.noteCommandRefused();
                view.showRefusal({QString::fromUtf8("Krok 7 nebyl proveden: procedury kroku 6 nejsou v databázi v "
                                                    "aktuální verzi. Spusťte nejprve celou aktualizaci."),
                                  QStringLiteral("step 7 was not run: the server-side objects of step 6 are missing "
                                                 "or differ from this program's; run the full update first")});
            }
            session.log().WriteLog(QStringLiteral("END KROK 7     | "));
            restoreButtons();
        },
        [&] {
            view.setIndicatorRunning(false);
            restoreButtons();
        });
}

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

bool RunStayingGuestsAlone(UpdateSession& session, UpdateView& view)
{
    return RunClaimed(session, view, [&] { return stayingGuestsAloneClaimed(session, view); });
}

} // namespace update
