#include "app/CheckCommand.h"

#include "app/StopSignals.h"
#include "update/safety/LocalBackupFile.h"
#include "update/safety/ReadinessCheck.h"
#include "update/Settings.h"
#include "update/StayOptionRecord.h"
#include "update/VisibleText.h"
#include "commands/Rehearsal.h"

#include <cstdio>

namespace app {

int runCheckCommand(const QString& programDir)
{
    update::ConnectionSettings settings;
    QString backupFile;
    try {
        const update::Settings all = update::LoadSettings(programDir);
        settings = all.connection;
        backupFile = all.backupFile;
    } catch (const update::SettingsUnreadable& error) {
        // Checking the defaults' database instead would report on the wrong hotel.
        update::writeVisible(stderr, QStringLiteral("dph2012: %1\n").arg(QString::fromLocal8Bit(error.what())));
        return 2;
    }
    update::ReadinessReport report;
    try {
        // What step 7 must still finish depends on the option it last ran with on this database.
        report = update::CheckReadiness(settings, &stopSignal,
                                        update::StayOptionRecord(programDir).noted(settings.alias));
    } catch (const update::Interrupted& stop) {
        std::fprintf(stderr, "dph2012: --check stopped by %s\n", update::signalName(stop.signal).toLatin1().constData());
        return exitStatusForSignal(stop.signal);
    }
    QString text = report.text(settings.alias, settings.user);
    QList<update::LeftoverCopy> leftovers;
    try {
        leftovers = update::leftoverRehearsalCopies(programDir, settings, &stopSignal);
    } catch (const update::Interrupted& stop) {
        std::fprintf(stderr, "dph2012: --check stopped by %s\n", update::signalName(stop.signal).toLatin1().constData());
        return exitStatusForSignal(stop.signal);
    }
    for (const update::LeftoverCopy& copy : leftovers)
        text += (copy.proved ? QStringLiteral("Zbyla kopie zkousky (odstrani ji pristi zkouska): ")
                             : QStringLiteral("Zbyla nedokoncena kopie zkousky bez znacky (program ji neodstrani, "
                                              "overte ji a odstrante rucne): "))
            + copy.path + QLatin1Char('\n');
    // Every backup is written on this machine, through a server too.
    if (!backupFile.isEmpty())
        for (const QString& unfinished : update::unfinishedBackups(backupFile))
            text += QStringLiteral("Zbyla nedokoncena zaloha (odstrani ji pristi zaloha): ") + unfinished + QLatin1Char('\n');
    update::writeVisible(stdout, text);
    return report.exitStatus();
}

} // namespace app
