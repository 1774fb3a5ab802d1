#include "app/RestoreCommand.h"

#include "app/StopSignals.h"
#include "app/TerminalView.h"
#include "app/Usage.h"
#include "commands/WayBack.h"
#include "update/Settings.h"
#include "update/UpdateSession.h"
#include "update/VisibleText.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

namespace app {

namespace {

// The operator's answer on the terminal: only a yes consents.
bool askOnTerminal(const update::WayBackPlan& plan)
{
    update::writeVisible(stderr, plan.text() + QStringLiteral("\nPokracovat? Napiste ano a Enter: "));
    std::string answer;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        answer.push_back(static_cast<char>(c));
    return answer == "ano" || answer == "a" || answer == "yes" || answer == "y";
}

} // namespace

int runRestoreCommand(const QString& programDir, const QStringList& arguments)
{
    bool yes = false;
    bool acceptUnseenDeletions = false;
    QString file;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--yes"))
            yes = true;
        else if (argument == QLatin1String("--accept-unseen-deletions"))
            acceptUnseenDeletions = true;
        else if (argument.startsWith(QLatin1String("--")) || !file.isEmpty()) {
            printUsageForMistake("unknown argument for --restore " + argument.toStdString());
            return kUnknownArgumentStatus;
        } else
            file = argument;
    }
    const bool terminal = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    if (!yes && !terminal) {
        TerminalView::say(QStringLiteral("--restore without a terminal needs --yes (dph2012 --restore --yes): nothing "
                                         "was changed"));
        return 3;
    }
    try {
        const update::Settings settings = update::LoadSettings(programDir);
        update::UpdateSession session(programDir);
        session.apply(settings);
        session.setStopProbe(&stopSignal);
        session.log().setFailureReporter(&TerminalView::sayLogFailure);
        if (!session.connect()) {
            TerminalView::say(QStringLiteral("the database cannot be opened: nothing was changed (see the run log)"));
            return 3;
        }
        TerminalView view;
        view.setCommandName(QStringLiteral("the way back"));
        const update::WayBackEnd end = update::RestoreDatabase(
            session, view, file, [yes](const update::WayBackPlan& plan) { return yes || askOnTerminal(plan); },
            acceptUnseenDeletions);
        if (const int signal = session.stopSignal())
            return exitStatusForSignal(signal);
        if (end == update::WayBackEnd::Restored)
            TerminalView::say(QStringLiteral("the database was restored from its backup; its state after the update is "
                                             "kept beside it (see the run log)"));
        if (end == update::WayBackEnd::AlreadyInPlace)
            TerminalView::say(QStringLiteral("nobody has written into the database since its backup: it holds the backup's "
                                             "state already, nothing was done and no copy was kept"));
        return update::exitStatusOf(end);
    } catch (const std::exception& error) {
        TerminalView::say(QStringLiteral("the way back could not be made: ") + QString::fromLocal8Bit(error.what()));
    }
    return 2;
}

} // namespace app
