#include "ui/WindowProgram.h"

#include "ui/D08_Main.h"
#include "ui/DialogPrompt.h"
#include "ui/GuardedApplication.h"
#include "update/Settings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <exception>

namespace ui {

namespace {

int runWindow(GuardedApplication& application, const update::StopProbe& stop, int stopDescriptor)
{
    TFormD08Main window(QCoreApplication::applicationDirPath());
    window.session().setStopProbe(stop);
    application.setErrorHandler([&window](const QString& text) { window.prompt().error(text, &window); });
    QSocketNotifier stopSignal(stopDescriptor, QSocketNotifier::Read);
    QObject::connect(&stopSignal, &QSocketNotifier::activated, &window, [&] {
        stopSignal.setEnabled(false);
        window.stopOnSignal();
    });
    window.show();
    const int status = application.exec();
    application.setErrorHandler({});
    return status;
}

} // namespace

int runWindowProgram(int& argc, char** argv, const update::StopProbe& stop, int stopDescriptor)
{
    GuardedApplication application(argc, argv);
    try {
        return runWindow(application, stop, stopDescriptor);
    } catch (const update::SettingsUnreadable& error) {
        // Nothing was connected or changed; the window must not go on with defaults.
        DialogPrompt().error(QString::fromLocal8Bit(error.what()), nullptr);
        return 3;
    } catch (const std::exception& error) {
        // Shown in a box where there is a screen, written to standard error where there is none.
        DialogPrompt().error(QStringLiteral("dph2012: ") + QString::fromLocal8Bit(error.what()), nullptr);
    }
    return 1;
}

} // namespace ui
