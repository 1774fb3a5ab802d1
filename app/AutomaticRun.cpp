#include "app/AutomaticRun.h"

#include "app/AutomaticMode.h"
#include "app/StopSignals.h"
#include "app/TerminalView.h"
#include "update/CommandGuard.h"
#include "commands/FullUpdate.h"
#include "commands/StayingGuestsAlone.h"
#include "commands/StockAndBanquets.h"
#include "update/RunLog.h"
#include "update/Settings.h"
#include "update/TestHold.h"
#include "update/UpdateSession.h"

#include <chrono>
#include <exception>

namespace app {

namespace {

int exitStatusOf(update::UpdateSession& session)
{
    if (const int signal = session.stopSignal())
        return exitStatusForSignal(signal);
    if (session.commandsRefused() > 0)
        return 3;
    if (session.commandsEndedByError() > 0)
        return 1;
    if (!session.Database1.hasBeenOpened())
        return 3;
    return session.isConnected() && session.runner().failureCount() == 0 ? 0 : 2;
}

void reportUnexpectedError(const QString& programDir, const QString& what)
{
    update::RunLog(programDir).WriteLog(update::kErrorPrefix + what);
    TerminalView::say(QStringLiteral("the update ended with an error: ") + what);
}

} // namespace

bool endWithinTenSeconds(db::Connection& connection)
{
    return connection.closeWaitingAtMost(std::chrono::seconds(10));
}

int runAutomatic(const QString& programDir, const NoticeShower& showNotice, const update::StopProbe& stop, int option,
                 bool* mustEndAtOnce, const EngineEnd& end, const update::UpdateSession::PdfLayout& pdf,
                 AutomaticCommand command)
{
    try {
        update::UpdateSession session(programDir);
        session.setWritesProtocols(true);
        session.setPdfLayout(pdf);
        session.setStopProbe(stop);
        session.log().setFailureReporter(&TerminalView::sayLogFailure);
        const update::Settings settings = update::LoadSettings(programDir);
        session.apply(settings);
        if (const QString notice = update::SettingsNotice(settings.connection); !notice.isEmpty())
            showNotice(notice);
        setAutomaticMode();
        // A failed connection changes nothing here: every statement tries again by itself.
        session.connect();
        TerminalView view(option);
        switch (command) {
        case AutomaticCommand::FullUpdate:
            update::RunFullUpdate(session, view);
            break;
        case AutomaticCommand::StayingGuestsAlone:
            update::RunStayingGuestsAlone(session, view);
            break;
        case AutomaticCommand::StockAndBanquets:
            update::UpdateStockAndBanquets(session, view);
            break;
        }
        const int status = exitStatusOf(session);
        update::holdForTest("detach");
        // With forced writes every committed page is on disk: what the engine still does at its
        // end (clearing old record versions) is done again by its next attachment.
        if (!session.stopSignal() && !end(session.Database1)) {
            session.log().WriteLog(QStringLiteral("               | Jadro databaze po 10 s neukoncilo odpojeni; vse je "
                                                  "potvrzeno, program konci bez nej"));
            TerminalView::say(QStringLiteral("the database engine did not finish its detach within 10 s; every "
                                             "transaction was committed, the program ends without it"));
            if (mustEndAtOnce)
                *mustEndAtOnce = true;
        }
        return status;
    } catch (const update::SettingsUnreadable& error) {
        // Nothing was connected or changed; the run must not go on with defaults.
        TerminalView::say(QString::fromLocal8Bit(error.what()));
        return 3;
    } catch (const std::exception& error) {
        reportUnexpectedError(programDir, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportUnexpectedError(programDir, QStringLiteral("unknown error"));
    }
    return 1;
}

} // namespace app
