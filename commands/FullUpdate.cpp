#include "commands/FullUpdate.h"

#include "protocol/NightProtocolFile.h"
#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/Amount.h"
#include "update/CommandGuard.h"
#include "update/safety/DatabaseBackup.h"
#include "update/safety/DatabaseChanges.h"
#include "commands/Rehearsal.h"
#include "update/safety/UpdateClaim.h"
#include "update/OldRateItems.h"
#include "update/safety/OtherAttachments.h"
#include "update/ServerScripts.h"
#include "update/StayingGuests.h"
#include "update/UpdateEstimate.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"

#include <QElapsedTimer>

#include <functional>
#include <optional>
#include <vector>

namespace update {

namespace {

constexpr int kSteps = 8;

QString stepPrefix(int step)
{
    return QStringLiteral("KROK %1").arg(step).leftJustified(15) + QStringLiteral("| ");
}

// The stock command stays off for the rest of the run.
void enableAfterFullUpdate(UpdateView& view)
{
    view.markFullUpdateDone();
    for (CommandButton button : {CommandButton::RunAll, CommandButton::Step7, CommandButton::Close})
        view.setButtonEnabled(button, true);
}

// A failed backup as the operator is told of it. The embedded engine opens a database for one
// program at a time: its lock error means another program (the hotel system, or this program's
// window) has the database open.
Refusal backupRefusal(const QString& failure)
{
    const bool openElsewhere = failure.contains(QLatin1String("Database already opened with engine instance"))
        || failure.contains(QLatin1String("I/O error during \"lock\" operation"));
    return {QString::fromUtf8("Záloha databáze se nezdařila, aktualizace nebyla spuštěna: ")
                + (openElsewhere ? QString::fromUtf8("databázi má otevřenou jiný program (systém Kalmor nebo okno "
                                                     "dph2012), nejprve jej zavřete. ")
                                 : QString())
                + failure,
            QStringLiteral("the backup failed, the update was not started: ")
                + (openElsewhere ? QStringLiteral("the database is open in another program (the hotel system, or "
                                                  "dph2012's window): close it first. ")
                                 : QString())
                + failure};
}

// Sends the move, noting for the protocol what the rows it moved are worth: the accountant's
// figure, read in the statement's own transaction without the run log, not a statement of the update.
void moveRate(UpdateSession& session, const RateMove& move)
{
    if (!session.isConnected() || !session.writesProtocols() || move.worthMoved().isEmpty()) {
        session.runner().ExecSql(move.statement());
        return;
    }
    session.runner().ExecSql(move.statement(), move.worthMoved(), [&session](const db::ResultSet* rows) {
        if (!rows) {
            session.protocol().noteWorthOfNext(QString::fromUtf8("nelze zjistit"));
            return;
        }
        QStringList worth;
        for (db::ResultSet each = *rows; !each.eof(); each.next()) {
            const QString currency = visibleText(QString::fromStdString(each.text(0)).trimmed());
            if (!each.isNull(1))
                worth.append(amountText(centsFromEngine(each.text(1))) + QLatin1Char(' ')
                             + (currency.isEmpty() ? QString::fromUtf8("(bez měny)") : currency));
        }
        session.protocol().noteWorthOfNext(worth.isEmpty() ? amountText(0) : worth.join(QStringLiteral("; ")));
    });
}

void addRate14ForFoodAndBeverage(UpdateSession& session)
{
    StatementRunner& runner = session.runner();
    if (runner.SelectValue(kRate14Count) == QLatin1String("0"))
        runner.ExecSql(QStringLiteral(
            "insert into fbs_vat (id_vat,vat_rate) values ((select Max(id_vat) from fbs_vat)+1 ,14)"));
    else
        session.log().WriteLog(stepPrefix(2) + QStringLiteral("Sazba 14% jiz existuje."));
}

void installServerObjects(UpdateSession& session)
{
    StatementRunner& runner = session.runner();
    for (const ServerScript& script : session.serverScripts())
        runner.ExecSql(script.statement());
    runner.ExecSql(QStringLiteral("execute PROCEDURE QVT_GENERAL_GRANT (\"VRX_APP_ROLE\")"));
}

// `expected`: how long the steps took on the rehearsal's copy, when they were rehearsed.
// Returns how many statements the database refused.
int runSteps(UpdateSession& session, UpdateView& view, int option, std::optional<qint64> expected)
{
    StatementRunner& runner = session.runner();
    // A step is a hundred parts, so that step 7's stay groups move the step shown within it; the
    // percent is the share of the night's time gone, its steps being far from even.
    constexpr qint64 kPartsOfAStep = 100;
    // Without a connection every statement fails at once: there is no night to time.
    const bool timed = session.isConnected();
    // The rehearsal's own figure, when there is one, tells the whole night better than any estimate.
    const UpdateEstimate estimate = timed && !expected ? estimateUpdate(session, option) : UpdateEstimate{};
    QElapsedTimer clock;
    clock.start();
    PhaseProgress progress(Phase::Update, kSteps * kPartsOfAStep, false);
    progress.unitsPerStep = kPartsOfAStep;
    progress.expectedMilliseconds = expected;
    const int failedBefore = runner.failureCount();
    QElapsedTimer step7;
    GroupPace pace;
    qint64 groupsTotal = 0;
    // `running`: the step whose rest, and the steps after it, are left.
    const auto show = [&](qint64 done, int running) {
        progress.done = done;
        progress.failedStatements = runner.failureCount() - failedBefore;
        progress.elapsedMilliseconds = clock.elapsed();
        progress.leftMilliseconds = estimate.millisecondsLeft(running, progress.elapsedMilliseconds,
                                                              step7.isValid() ? step7.elapsed() : 0, pace,
                                                              groupsTotal);
        progress.finished = done == progress.total;
        if (timed && progress.finished && session.holdsPhaseEnds(view))
            session.holdPhaseEnd(progress);
        else if (timed)
            view.showPhaseProgress(progress);
        progress.shownPercent = progress.percent().value_or(0);
    };
    const std::function<void(qint64, qint64)> groupEnded = [&](qint64 done, qint64 total) {
        pace.groupEnded(done, step7.elapsed());
        groupsTotal = total;
        // Its last group leaves the step's end to the step itself.
        if (done < total)
            show(6 * kPartsOfAStep + kPartsOfAStep * done / total, 7);
    };
    bool stayingGuestsRan = true;
    const std::vector<std::function<void()>> steps = {
        [&] { runner.ExecSql(posTaxes().statement()); },
        [&] { addRate14ForFoodAndBeverage(session); },
        [&] { moveRate(session, receptionServices()); },
        [&] { runner.ExecSql(settingsRates().statement()); },
        [&] { moveRate(session, reservations()); },
        [&] { installServerObjects(session); },
        [&] { stayingGuestsRan = ProcessStayingGuests(session, view, option, groupEnded); },
        // Deposits between the years need nothing in the database.
        [] {},
    };
    show(0, 1);
    for (int step = 1; step <= kSteps; ++step) {
        session.log().WriteLog(stepPrefix(step));
        session.protocol().beginStep(step);
        const int failedBeforeStep = runner.failureCount();
        if (step == 7)
            step7.start();
        steps.at(step - 1)();
        if (runner.failureCount() > failedBeforeStep || !stayingGuestsRan)
            view.markStepFailed(step);
        else
            view.markStepDone(step);
        stayingGuestsRan = true;
        view.processPendingMessages();
        view.setProgress(step);
        show(step * kPartsOfAStep, step + 1);
    }
    return runner.failureCount() - failedBefore;
}

} // namespace

bool RunFullUpdate(UpdateSession& session, UpdateView& view)
{
    return runWithProtocol(session, view,
                           [&] { return RunClaimed(session, view, [&] { return RunFullUpdateWithoutClaim(session, view); }); });
}

bool RunFullUpdateWithoutClaim(UpdateSession& session, UpdateView& view)
{
    const ButtonStates before(view);
    // The option as it stands when the operator starts: the rehearsal and the real run use this one.
    const int option = view.stayingGuestsOption();
    bool refused = false;
    const bool ended = runRecoveringFromErrors(
        session, view,
        [&] {
            setAllButtonsEnabled(view, false);
            // The operator may still back out here: nothing is logged before this question.
            if (!view.isAutomaticMode() && !confirmOtherAttachments(session, view)) {
                before.restore(view);
                return;
            }
            const RunLog& log = session.log();
            log.WriteLog(QString(63, QLatin1Char('-')));
            log.WriteLog(QStringLiteral("SPUSTENI AKT.  | "));
            session.protocol().begin(QString::fromUtf8("Úplná aktualizace"));
            session.protocol().noteOption(option);
            if (view.isAutomaticMode()) {
                log.WriteLog(QStringLiteral("               | Automaticky mod"));
                confirmOtherAttachments(session, view);
            }
            view.ShowInfo(1);
            view.ShowInfo(2);
            // A reminder closed by a stop signal is no confirmation.
            session.throwIfStopRequested();
            view.setProgressMaximum(kSteps);
            view.setIndicatorRunning(true);

            const auto refuse = [&](const Refusal& refusal) {
                refused = true;
                session.noteCommandRefused();
                view.setIndicatorRunning(false);
                before.restore(view);
                view.showRefusal(refusal);
            };
            std::optional<qint64> rehearsedUpdate;
            if (session.rehearsalWanted()) {
                // The rehearsal makes the backup that the real run relies on; whatever anyone
                // else commits after it began is not in it.
                const std::optional<TransactionMark> beforeBackup = markTransactions(session);
                const RehearsalReport report = Rehearse(session, view, option);
                rehearsedUpdate = report.updateMilliseconds;
                if (!report.backupProved()) {
                    log.WriteLog(QStringLiteral("               | Aktualizace nespustena: zaloha nebyla overena obnovou"));
                    refuse({QString::fromUtf8("Aktualizace nebyla spuštěna, databáze se nezměnila: záloha se nezdařila "
                                              "nebo ji nešlo obnovit (%1).")
                                .arg(report.notMade),
                            QStringLiteral("the rehearsal could not make and restore a backup (%1), the update was not "
                                           "started")
                                .arg(report.notMade)});
                    return;
                }
                if (!view.continueAfterRehearsal(report)) {
                    log.WriteLog(QStringLiteral("               | Aktualizace po zkousce nespustena"));
                    refuse({QString::fromUtf8("Aktualizace nebyla spuštěna, databáze se nezměnila."),
                            QStringLiteral("the rehearsal found problems, the update was not started: see the run log")});
                    return;
                }
                session.throwIfStopRequested();
                if (othersMayHaveChanged(session, beforeBackup, 1)) {
                    log.WriteLog(QStringLiteral("               | Databaze se od zalohy mohla zmenit: nova zaloha pred krokem 1"));
                    const QString failure = BackupBeforeUpdate(session, view, nullptr, report.backupMilliseconds);
                    if (!failure.isEmpty()) {
                        refuse(backupRefusal(failure));
                        return;
                    }
                } else {
                    log.WriteLog(QStringLiteral("               | Databaze se od zalohy nezmenila"));
                }
            } else if (!session.backupFile().isEmpty()) {
                const QString failure = BackupBeforeUpdate(session, view);
                if (!failure.isEmpty()) {
                    refuse(backupRefusal(failure));
                    return;
                }
            }

            const int failed = runSteps(session, view, option, rehearsedUpdate);

            log.WriteLog(QStringLiteral("KONEC          | "));
            view.setIndicatorRunning(false);
            session.showCompletion(view, 3, failed, log.filePath());
            enableAfterFullUpdate(view);
        },
        [&] {
            view.setIndicatorRunning(false);
            enableAfterFullUpdate(view);
        });
    return ended && !refused;
}

} // namespace update
