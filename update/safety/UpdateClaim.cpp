#include "update/safety/UpdateClaim.h"

#include "update/safety/BackupRecord.h"
#include "update/safety/DatabaseChanges.h"

#include "db/DatabaseClaim.h"
#include "db/EngineError.h"
#include "update/CommandGuard.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"

#include <QScopeGuard>

#include <functional>
#include <optional>

namespace update {

namespace {

class HeldClaim {
public:
    // Throws DatabaseBusy or ClaimUnavailable. Without a connection now, the claim is taken when a
    // statement connects.
    explicit HeldClaim(db::Connection& connection) : connection_(connection)
    {
        try {
            connection_.claim();
        } catch (const db::EngineError&) {
        }
    }
    ~HeldClaim() { connection_.releaseClaim(); }
    HeldClaim(const HeldClaim&) = delete;
    HeldClaim& operator=(const HeldClaim&) = delete;

private:
    db::Connection& connection_;
};

} // namespace

bool RunClaimed(UpdateSession& session, UpdateView& view, const std::function<bool()>& command)
{
    if (const int signal = session.stopSignal()) {
        StopRun(session, signal);
        return false;
    }
    bool ran = false;
    // What the program itself wrote since its backup is no one else's work to keep on the way back:
    // the transactions from the command's start, where others' work before it, since an earlier
    // command, stays theirs. Who else may have written meanwhile is told by the transactions and
    // attachments the database counted beyond this program's own and its backups'. Without its
    // start the command's work is not noted: the way back then takes it for someone else's and
    // refuses rather than lose anyone's.
    std::optional<TransactionMark> started;
    int backupsBefore = 0;
    int noted = session.runner().statementCount();
    const auto noteOwnWork = [&] {
        if (session.runner().statementCount() > noted && started)
            recordOwnWork(session, started->next,
                          othersMayHaveChanged(session, started, session.backupsRecorded() - backupsBefore));
        noted = session.runner().statementCount();
    };
    // The command's work ends before its protocol, which only reads: what others do meanwhile
    // stays theirs.
    const std::function<void()> protocol = session.takeBeforeCompletion();
    session.setBeforeCompletion([&] {
        noteOwnWork();
        if (protocol)
            protocol();
    });
    const auto unhook = qScopeGuard([&] { session.setBeforeCompletion(protocol); });
    try {
        std::optional<HeldClaim> claim;
        try {
            claim.emplace(session.Database1);
        } catch (const db::DatabaseBusy& busy) {
            session.noteCommandRefused();
            const QString holder = visibleText(QString::fromStdString(busy.holder()));
            if (holder.isEmpty()) {
                session.log().WriteLog(kErrorPrefix + kBusyEntry);
                view.showRefusal(kBusyRefusal);
            } else {
                session.log().WriteLog(kErrorPrefix + kBusyEntry + QStringLiteral(" (drzi ji ") + holder
                                       + QStringLiteral(")"));
                view.showRefusal({kBusyRefusal.shown + QString::fromUtf8(" Drží ji: ") + holder,
                                  kBusyRefusal.stated + QStringLiteral("; it is held by ") + holder});
            }
            return false;
        } catch (const db::ClaimUnavailable& error) {
            // Whether another instance runs cannot be told: as good as one that does.
            const QString why = QString::fromStdString(error.what());
            session.noteCommandRefused();
            session.log().WriteLog(kErrorPrefix + QStringLiteral("Nelze zjistit, zda bezi jina aktualizace, nic nebylo "
                                                                 "zmeneno: ") + why);
            view.showRefusal({QString::fromUtf8("Nelze zjistit, zda neběží jiná aktualizace této databáze, nic nebylo "
                                                "změněno: ") + why,
                              QStringLiteral("cannot tell whether another update of this database is running, nothing "
                                             "was changed: ") + why});
            return false;
        }
        // Anyone may set a variable of the mark's name: such a value never blocks a run, but support
        // should know who set it.
        for (const std::string& foreign : session.Database1.foreignClaimMarks())
            session.log().WriteLog(QStringLiteral("               | Cizi znacka aktualizace se nepocita: ")
                                   + visibleText(QString::fromStdString(foreign)));
        started = markTransactions(session);
        backupsBefore = session.backupsRecorded();
        if (session.Database1.holdsClaim() && !session.Database1.claimSeesAllAttachments())
            session.log().WriteLog(QStringLiteral("               | Uzivatel %1 vidi jen sva pripojeni: aktualizaci "
                                                  "spustenou jinym uzivatelem nelze vyloucit")
                                       .arg(QString::fromStdString(session.Database1.user())));
        ran = command();
    } catch (const Interrupted&) {
        ran = false;
    } catch (const db::ConnectAbandoned&) {
        ran = false;
    }
    noteOwnWork();
    if (const int signal = session.stopSignal()) {
        StopRun(session, signal);
        return false;
    }
    return ran;
}

void StopRun(UpdateSession& session, int signal)
{
    session.log().WriteLog(kStoppedPrefix + signalName(signal));
    session.QueryPobyty.close();
    // The embedded engine, once the signal has reached it, may never finish a detach.
    session.Database1.closeWaitingAtMost(std::chrono::seconds(2));
}

} // namespace update
