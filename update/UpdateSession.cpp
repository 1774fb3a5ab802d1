#include "update/UpdateSession.h"

#include "update/SignalGuard.h"

namespace update {

UpdateSession::UpdateSession(const QString& programDir, RunLog::Clock clock, const QString& scriptDirectory)
    : serverScripts_(ServerScripts(scriptDirectory)), programDir_(programDir), log_(programDir, std::move(clock))
{
    applySettings(ConnectionSettings());
    // Nobody should wait out the connect timeout of a host that does not answer to stop the run.
    Database1.setInterruption([] { return stopSignal() != 0; });
}

void UpdateSession::applySettings(const ConnectionSettings& settings)
{
    Database1.setDatabase(settings.alias.toStdString());
    Database1.setUser(settings.user.toStdString());
    Database1.setPassword(settings.password.toStdString());
    Database1.setConnectTimeout(settings.connectTimeout);
}

ConnectionSettings UpdateSession::settings() const
{
    return {QString::fromStdString(Database1.database()), QString::fromStdString(Database1.user()),
            QString::fromStdString(Database1.password()), Database1.connectTimeout()};
}

bool UpdateSession::connect()
{
    try {
        Database1.open();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace update
