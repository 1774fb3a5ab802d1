#include "app/CheckCommand.h"

#include "db/Connection.h"
#include "update/ReadinessCheck.h"
#include "update/Settings.h"

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
    const update::ReadinessReport report = update::CheckReadiness(connection);
    std::fputs(report.text(settings.alias, settings.user).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return report.exitStatus();
}

} // namespace app
