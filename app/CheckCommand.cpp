#include "app/CheckCommand.h"

#include "db/Connection.h"
#include "update/ReadinessCheck.h"
#include "update/Settings.h"

#include <cstdio>

int runCheckCommand(const QString& programDir)
{
    const update::ConnectionSettings settings = update::LoadSettings(programDir);
    db::Connection connection;
    connection.setDatabase(settings.alias.toStdString());
    connection.setUser(settings.user.toStdString());
    connection.setPassword(settings.password.toStdString());
    const update::ReadinessReport report = update::CheckReadiness(connection);
    std::fputs(report.text(settings.alias, settings.user).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return report.exitStatus();
}
