#include "update/UpdateSession.h"

#include "update/UpdateView.h"

namespace update {

UpdateSession::UpdateSession(const QString& programDir, RunLog::Clock clock, const QString& scriptDirectory)
    : serverScripts_(ServerScripts(scriptDirectory)), programDir_(programDir), log_(programDir, std::move(clock))
{
    prepare();
}

UpdateSession::UpdateSession(const QString& programDir, const QString& logFileName, QList<ServerScript> serverScripts)
    : serverScripts_(std::move(serverScripts)), programDir_(programDir), onRehearsalCopy_(true),
      log_(programDir, &RunLog::systemClock, QLocale::system(), logFileName)
{
    prepare();
}

void UpdateSession::prepare()
{
    runner_.setProtocol(&protocol_);
    applySettings(ConnectionSettings());
    // Nobody should wait out the connect timeout of a host that does not answer to stop the run.
    Database1.setInterruption([this] { return stopSignal() != 0; });
}

void UpdateSession::throwIfStopRequested() const
{
    if (stopsHeld_ > 0)
        return;
    if (const int signal = stopSignal())
        throw Interrupted{signal};
}

void UpdateSession::applySettings(const ConnectionSettings& settings)
{
    applyTo(Database1, settings);
}

void UpdateSession::apply(const Settings& settings)
{
    applySettings(settings.connection);
    backupFile_ = settings.backupFile;
    rehearsal_ = settings.rehearsal;
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

bool UpdateSession::holdsPhaseEnds(const UpdateView& view) const
{
    return writesProtocols_ && !onRehearsalCopy_ && view.isAutomaticMode();
}

void UpdateSession::showCompletion(UpdateView& view, int kind, int failedStatements, const QString& logFile)
{
    if (const std::function<void()> before = std::exchange(beforeCompletion_, {}))
        before();
    view.showCompletion(kind, failedStatements, logFile);
}

} // namespace update
