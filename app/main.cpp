#include "app/AutomaticRun.h"
#include "app/CheckCommand.h"
#include "app/ProtocolCommand.h"
#include "app/ProtocolPdfProcess.h"
#include "app/RehearseCommand.h"
#include "app/RestoreCommand.h"
#include "app/Display.h"
#include "app/StderrFilter.h"
#include "app/StopSignals.h"
#include "app/TerminalView.h"
#include "app/Usage.h"
#include "app/WindowLoader.h"
#include "update/TestHold.h"
#include "update/VisibleText.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

namespace {

// Unattended, nobody answers a box, whatever the display: the settings notice goes to standard
// error as it stands. `option`: what step 7 does with the staying guests, 0 to 3 for a to d.
int runAutomaticProcess(int& argc, char** argv, int option = 0,
                        app::AutomaticCommand command = app::AutomaticCommand::FullUpdate)
{
    const QCoreApplication application(argc, argv);
    bool mustEndAtOnce = false;
    const int status = app::runAutomatic(
        QCoreApplication::applicationDirPath(), [](const QString& notice) { app::TerminalView::sayAsIs(notice); },
        &app::stopSignal, option, &mustEndAtOnce, &app::endWithinTenSeconds, app::protocolPdfProcess(&app::stopSignal),
        command);
    if (mustEndAtOnce) {
        // The engine's threads would be waited for at exit: everything of this run is logged.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

int runWindowProcess(int& argc, char** argv)
{
    if (!app::platformAvailable()) {
        std::fprintf(stderr,
                     "dph2012: no display for the window (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset).\n"
                     "Run it on a desktop, or give any argument (for example: dph2012 auto) for the unattended update.\n");
        return 1;
    }
    try {
        return app::runWindow(argc, argv);
    } catch (const std::exception& error) {
        update::writeVisible(stderr, QStringLiteral("dph2012: %1\n").arg(QString::fromLocal8Bit(error.what())));
    }
    return 1;
}

int runProgram(int& argc, char** argv)
{
    if (argc > 1 && app::answerHelpRequest(argv[1]))
        return 0;
    if (argc > 1 && app::refuseUnknownOption(argv[1]))
        return app::kUnknownArgumentStatus;
    app::installStopSignalHandlers();
    // The read-only report needs neither a window nor the run log.
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--check")) {
        const QCoreApplication application(argc, argv);
        return app::runCheckCommand(QCoreApplication::applicationDirPath());
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--rehearse")) {
        const QCoreApplication application(argc, argv);
        return app::runRehearseCommand(QCoreApplication::applicationDirPath(),
                                       argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString(), app::protocolPdfProcess(&app::stopSignal));
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--restore")) {
        const QCoreApplication application(argc, argv);
        return app::runRestoreCommand(QCoreApplication::applicationDirPath(), QCoreApplication::arguments().mid(2));
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--protocol-pdf")) {
        update::holdForTest("layout-start");
        return app::runProtocolPdf(argc, argv);
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--protocol")) {
        const QCoreApplication application(argc, argv);
        return app::runProtocolCommand(QCoreApplication::applicationDirPath(),
                                       argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--update")) {
        const std::optional<int> option = app::stayingGuestsOptionArgument(argc > 2 ? argv[2] : "");
        return option ? runAutomaticProcess(argc, argv, *option) : app::kUnknownArgumentStatus;
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--step7")) {
        // Step 7 alone with option a would do nothing at all: an option is required.
        const std::optional<int> option = app::stayingGuestsOptionArgument(argc > 2 ? argv[2] : "", false);
        return option ? runAutomaticProcess(argc, argv, *option, app::AutomaticCommand::StayingGuestsAlone)
                      : app::kUnknownArgumentStatus;
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--stock")) {
        if (argc > 2) {
            app::printUsageForMistake("--stock takes no further argument");
            return app::kUnknownArgumentStatus;
        }
        return runAutomaticProcess(argc, argv, 0, app::AutomaticCommand::StockAndBanquets);
    }
    if (argc > 1 && argv[1][0] != '\0')
        return runAutomaticProcess(argc, argv);
    return runWindowProcess(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    app::dropRuntimeDirectoryNotice();
    const int status = runProgram(argc, argv);
    // A connection attempt given up for the signal may still wait for its host; the client
    // library would wait for it at exit. Everything of this run has been detached and logged.
    if (app::stopSignal() != 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
