#include "app/RehearseCommand.h"

#include "app/StopSignals.h"
#include "app/TerminalView.h"
#include "app/Usage.h"
#include "update/VisibleText.h"
#include "update/Settings.h"
#include "update/UpdateSession.h"
#include "commands/Rehearsal.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace app {

int runRehearseCommand(const QString& programDir, const QString& optionText, const update::UpdateSession::PdfLayout& pdf)
{
    const std::optional<int> option = stayingGuestsOptionArgument(optionText.toStdString());
    if (!option)
        return kUnknownArgumentStatus;
    try {
        const update::Settings settings = update::LoadSettings(programDir);
        if (settings.backupFile.isEmpty()) {
            TerminalView::say(QStringLiteral("--rehearse restores the backup that it makes first: set Backup= in [Params] "
                                             "of DPH.ini"));
            return 2;
        }
        update::UpdateSession session(programDir);
        session.setWritesProtocols(true);
        session.setPdfLayout(pdf);
        session.apply(settings);
        session.setStopProbe(&stopSignal);
        session.log().setFailureReporter(&TerminalView::sayLogFailure);
        TerminalView view;
        const std::optional<update::RehearsalReport> report =
            update::RunRehearsal(session, view, *option);
        if (const int signal = session.stopSignal())
            return exitStatusForSignal(signal);
        if (!report)
            return 2; // refused: another update of the database runs
        update::writeVisible(stdout, report->text());
        return report->exitStatus();
    } catch (const std::exception& error) {
        TerminalView::say(QStringLiteral("the rehearsal could not be made: ") + QString::fromLocal8Bit(error.what()));
    }
    return 2;
}

} // namespace app
