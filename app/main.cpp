#include "app/CheckCommand.h"
#include "app/StderrFilter.h"
#include "app/Usage.h"
#include "ui/D08_Main.h"
#include "ui/DialogPrompt.h"
#include "ui/GuardedApplication.h"
#include "ui/OperatorPrompt.h"
#include "ui/widgets/GlowButton.h"
#include "update/AutomaticMode.h"
#include "update/CommandGuard.h"
#include "update/RunLog.h"
#include "update/Settings.h"
#include "update/SignalGuard.h"
#include "update/UpdateSession.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

void reportUnexpectedError(const QString& programDir, const QString& what)
{
    update::RunLog(programDir).WriteLog(update::kErrorPrefix + what);
    std::fprintf(stderr, "dph2012: the update ended with an error: %s\n", what.toLocal8Bit().constData());
}

// 128 plus the signal that stopped the run; 3 when nothing was changed (the update was refused
// before any change, or no connection was ever made); 1 when an error ended the update (it has
// been logged and reported); otherwise 0 when the connection opened and the engine refused no
// statement, 2 when it did not, so the database may be partly changed.
int automaticExitStatus(ui::TFormD08Main& window)
{
    update::UpdateSession& session = window.session();
    if (const int signal = update::stopSignal())
        return update::exitStatusForSignal(signal);
    if (session.commandsRefused() > 0)
        return 3;
    if (session.commandsEndedByError() > 0)
        return 1;
    if (!session.Database1.hasBeenOpened())
        return 3;
    return session.isConnected() && session.runner().failureCount() == 0 ? 0 : 2;
}

// Nothing was connected or changed; the run must not go on with defaults.
int refuseUnreadableSettings(const update::SettingsUnreadable& error)
{
    std::fprintf(stderr, "dph2012: %s\n", error.what());
    return 3;
}

int runAutomatic(const QString& programDir)
{
    try {
        ui::TFormD08Main window(programDir);
        update::setAutomaticMode();
        window.FormShow();
        window.AdvGlowButton1->click();
        return automaticExitStatus(window);
    } catch (const update::SettingsUnreadable& error) {
        return refuseUnreadableSettings(error);
    } catch (const std::exception& error) {
        reportUnexpectedError(programDir, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportUnexpectedError(programDir, QStringLiteral("unknown error"));
    }
    return 1;
}

int runInteractive(ui::GuardedApplication& application, const QString& programDir)
{
    ui::TFormD08Main window(programDir);
    application.setErrorHandler([&window](const QString& text) { window.prompt().error(text, &window); });
    QSocketNotifier stopSignal(update::stopSignalDescriptor(), QSocketNotifier::Read);
    QObject::connect(&stopSignal, &QSocketNotifier::activated, &window, [&] {
        stopSignal.setEnabled(false);
        window.stopOnSignal();
    });
    window.show();
    const int status = application.exec();
    application.setErrorHandler({});
    return status;
}

int runProgram(int argc, char* argv[])
{
    if (argc > 1 && app::answerHelpRequest(argv[1]))
        return 0;
    if (argc > 1 && app::refuseUnknownOption(argv[1]))
        return app::kUnknownArgumentStatus;
    // The read-only report needs neither a window nor the run log.
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--check")) {
        update::installStopSignalHandlers();
        const QCoreApplication application(argc, argv);
        return app::runCheckCommand(QCoreApplication::applicationDirPath());
    }
    const bool automatic = argc > 1 && argv[1][0] != '\0';
    update::installStopSignalHandlers();
    // Unattended runs often have no display; the window is never shown there anyway.
    if (automatic && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!automatic && !displayAvailable()) {
        std::fprintf(stderr,
                     "dph2012: no display for the window (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset).\n"
                     "Run it on a desktop, or give any argument (for example: dph2012 auto) for the unattended update.\n");
        return 1;
    }

    ui::GuardedApplication application(argc, argv);
    const QString programDir = QCoreApplication::applicationDirPath();
    if (automatic)
        return runAutomatic(programDir);
    try {
        return runInteractive(application, programDir);
    } catch (const update::SettingsUnreadable& error) {
        if (!ui::DialogPrompt::platformHasNoScreen())
            ui::DialogPrompt().error(QString::fromLocal8Bit(error.what()), nullptr);
        return refuseUnreadableSettings(error);
    } catch (const std::exception& error) {
        // Shown in a box where there is a screen, written to standard error where there is none.
        ui::DialogPrompt().error(QStringLiteral("dph2012: ") + QString::fromLocal8Bit(error.what()), nullptr);
    }
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    app::dropRuntimeDirectoryNotice();
    const int status = runProgram(argc, argv);
    // A connection attempt given up for the signal may still wait for its host; the client
    // library would wait for it at exit. Everything of this run has been detached and logged.
    if (update::stopSignal() != 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
