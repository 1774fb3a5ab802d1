#include "app/CheckCommand.h"

#include "db/Connection.h"
#include "update/ReadinessCheck.h"
#include "update/Settings.h"
#include "update/SignalGuard.h"

#include <cstdio>

namespace app {

int runCheckCommand(const QString& programDir)
{
    update::ConnectionSettings settings;
    try {
        settings = update::LoadSettings(programDir);
    } catch (const update::SettingsUnreadable& error) {
        // Checking the defaults' database instead would report on the wrong hotel.
        std::fprintf(stderr, "dph2012: %s\n", error.what());
        return 2;
    }
    db::Connection connection;
    connection.setDatabase(settings.alias.toStdString());
    connection.setUser(settings.user.toStdString());
    connection.setPassword(settings.password.toStdString());
    connection.setConnectTimeout(settings.connectTimeout);
    connection.setInterruption([] { return update::stopSignal() != 0; });
    update::ReadinessReport report;
    try {
        report = update::CheckReadiness(connection);
    } catch (const update::Interrupted& stop) {
        std::fprintf(stderr, "dph2012: --check stopped by %s\n", update::signalName(stop.signal).toLatin1().constData());
        return update::exitStatusForSignal(stop.signal);
    }
    std::fputs(report.text(settings.alias, settings.user).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return report.exitStatus();
}

} // namespace app
