#include "commands/StayingGuestsAlone.h"

#include "protocol/NightProtocolFile.h"
#include "update/CommandGuard.h"
#include "update/PhaseClock.h"
#include "update/RunLog.h"
#include "update/StayingGuests.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/UpdateClaim.h"

#include <QElapsedTimer>

namespace update {

namespace {

// Step 7 on its own, the claim held.
bool stayingGuestsAloneClaimed(UpdateSession& session, UpdateView& view)
{
    // Pending messages are processed per group, so a second command could otherwise start inside
    // this one, or "Konec" could close the window under it.
    const ButtonStates before(view);
    setAllButtonsEnabled(view, false);
    const auto restoreButtons = [&] { before.restore(view); };
    bool refused = false;
    // How far the groups are, with their time left, as the full update shows its steps.
    PhaseProgress groups(Phase::StayingGuests, 0, false);
    GroupPace pace;
    const bool ended = runRecoveringFromErrors(
        session, view,
        [&] {
            if (!confirmOtherAttachments(session, view)) {
                restoreButtons();
                return;
            }
            session.log().WriteLog(QStringLiteral("START KROK 7   | "));
            const int option = view.stayingGuestsOption();
            session.protocol().begin(QString::fromUtf8("Krok 7 samostatně"));
            session.protocol().beginStep(7);
            session.protocol().noteOption(option);
            view.setIndicatorRunning(true);
            const int failedBefore = session.runner().failureCount();
            QElapsedTimer clock;
            clock.start();
            const bool ran = ProcessStayingGuests(session, view, option, [&](qint64 done, qint64 total) {
                groups.total = total;
                groups.done = done;
                groups.elapsedMilliseconds = clock.elapsed();
                pace.groupEnded(done, clock.elapsed());
                groups.leftMilliseconds = pace.millisecondsLeft(total);
                groups.finished = done == total;
                if (groups.finished && session.holdsPhaseEnds(view))
                    session.holdPhaseEnd(groups);
                else
                    view.showPhaseProgress(groups);
                groups.shownPercent = groups.percent().value_or(0);
            });
            view.setIndicatorRunning(false);
            if (ran) {
                session.showCompletion(view, 3, session.runner().failureCount() - failedBefore,
                                       session.log().filePath());
            } else {
                refused = true;
                session.noteCommandRefused();
                view.showRefusal({QString::fromUtf8("Krok 7 nebyl proveden: procedury kroku 6 v databázi chybí nebo "
                                                    "nejsou platné. Spusťte nejprve celou aktualizaci."),
                                  QStringLiteral("step 7 was not run: the server-side objects of step 6 are missing "
                                                 "or not valid; run the full update first")});
            }
            session.log().WriteLog(QStringLiteral("END KROK 7     | "));
            restoreButtons();
        },
        [&] {
            view.setIndicatorRunning(false);
            // A phase cut short gives the window's bar and status back.
            if (groups.done > 0 && !groups.finished) {
                groups.finished = true;
                view.showPhaseProgress(groups);
            }
            restoreButtons();
        });
    return ended && !refused;
}

} // namespace

bool RunStayingGuestsAlone(UpdateSession& session, UpdateView& view)
{
    return runWithProtocol(session, view,
                           [&] { return RunClaimed(session, view, [&] { return stayingGuestsAloneClaimed(session, view); }); });
}

} // namespace update
