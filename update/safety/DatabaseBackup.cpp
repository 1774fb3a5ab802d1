#include "update/safety/DatabaseBackup.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ServiceBackup.h"
#include "update/PhaseSize.h"
#include "update/RunLog.h"
#include "update/Stop.h"
#include "update/safety/BackupFileWriter.h"
#include "update/safety/BackupHeader.h"
#include "update/safety/BackupRecord.h"
#include "update/safety/LocalBackupFile.h"
#include "update/safety/OwnFile.h"
#include "update/safety/ServiceJob.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>

namespace update {

namespace {

const QString kBackupPrefix = QStringLiteral("ZALOHA         | ");
const QString kBackupFailedPrefix = QStringLiteral("ZALOHA CHYBA   | ");
// Names of the server that could not be checked before the backup gives up.
constexpr int kUncheckedNamesAllowed = 3;
// Numbered names tried within one second before the backup gives up: a server that says every
// name exists would otherwise be asked for ever.
constexpr int kNumberedNames = 50;

} // namespace

void removeUnfinishedBackups(const RunLog& log, const QString& wanted)
{
    for (const QString& left : unfinishedBackups(wanted))
        if (QFile::remove(left))
            log.WriteLog(QStringLiteral("ZALOHA         | odstranena nedokoncena zaloha drivejsiho behu %1").arg(left));
}

void logBackupMade(const RunLog& log, qint64 bytes, qint64 milliseconds)
{
    log.WriteLog(QStringLiteral("ZALOHA OK      | ") + QString::number(bytes) + QStringLiteral(" B, ")
                 + QString::number(milliseconds / 1000.0, 'f', 1) + QStringLiteral(" s"));
}

void logBackupFailed(const RunLog& log, const QString& why)
{
    log.WriteLog(kBackupFailedPrefix + why);
}

void logBackupStopped(const RunLog& log, const QString& file)
{
    logBackupFailed(log, QStringLiteral("preruseno, nedokoncena zaloha %1 odstranena").arg(file));
}

std::function<bool(const QString&)> existsWhereTheEngineWrites(const ConnectionSettings& settings,
                                                               const std::function<bool()>& stop)
{
    return existsWhereTheEngineWrites(settings, db::serviceTargetOf(settings.alias.toStdString()), stop);
}

std::function<bool(const QString&)> existsWhereTheEngineWrites(const ConnectionSettings& settings,
                                                               const db::ServiceTarget& target,
                                                               const std::function<bool()>& stop)
{
    if (target.host.empty())
        return &nameTakenHere;
    auto unchecked = std::make_shared<int>(0);
    return [settings, prefix = target.serverPrefix, unchecked, stop](const QString& path) {
        const std::optional<bool> exists =
            db::fileExistsOnServer(prefix, path.toStdString(), settings.user.toStdString(),
                                   settings.password.toStdString(), settings.connectTimeout, stop);
        if (exists)
            return *exists;
        if (++*unchecked >= kUncheckedNamesAllowed)
            throw std::runtime_error("the server cannot tell whether " + path.toStdString() + " exists");
        return true;
    };
}

QString withoutExtension(const QString& file)
{
    // The extension is what follows the last dot of the file name, not of a directory.
    const int slash = std::max(file.lastIndexOf(QLatin1Char('/')), file.lastIndexOf(QLatin1Char('\\')));
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    return file.left(dot > slash + 1 ? dot : file.size());
}

QString freeBackupName(const QString& wanted, const QDateTime& now, const std::function<bool(const QString&)>& exists)
{
    if (!exists(wanted))
        return wanted;
    const QString stem = withoutExtension(wanted);
    const QString extension = wanted.mid(stem.size());
    const QString minute = stem + now.toString(QStringLiteral("-yyyyMMdd-HHmm"));
    if (!exists(minute + extension))
        return minute + extension;
    const QString second = minute + now.toString(QStringLiteral("ss"));
    QString candidate = second + extension;
    for (int counter = 2; exists(candidate); ++counter) {
        if (counter > kNumberedNames)
            throw std::runtime_error(QStringLiteral("zadny volny nazev: %1 i nazvy s datem az po %2 jsou obsazene")
                                         .arg(wanted, candidate)
                                         .toLocal8Bit()
                                         .toStdString());
        candidate = second + QStringLiteral("-%1").arg(counter) + extension;
    }
    return candidate;
}

QString takeBackupName(UpdateSession& session, QString& file)
{
    const RunLog& log = session.log();
    // A relative name is taken where the program runs now; the record keeps the whole path, so
    // the way back finds the file from wherever it is started.
    const QString wanted = QFileInfo(session.backupFile()).absoluteFilePath();
    try {
        if (const QString refusal = localBackupRefusal(wanted); !refusal.isEmpty())
            throw std::runtime_error(refusal.toStdString());
        removeUnfinishedBackups(log, wanted);
        // Here the name is only looked at: this program writes under a name of its own until the
        // backup is whole, and then takes the name only if it is still free.
        file = freeBackupName(wanted, QDateTime::currentDateTime(), &nameTakenHere);
    } catch (...) {
        const QString failure = failureText(std::current_exception());
        log.WriteLog(kBackupPrefix + session.backupFile());
        logBackupFailed(log, failure);
        return failure;
    }
    log.WriteLog(kBackupPrefix + file);
    return {};
}

QString BackupBeforeUpdate(UpdateSession& session, UpdateView& view, QString* madeFile,
                           std::optional<qint64> expectedMilliseconds)
{
    const ConnectionSettings settings = session.settings();
    const RunLog& log = session.log();
    QString file;
    if (const QString failure = takeBackupName(session, file); !failure.isEmpty())
        return failure;
    view.showBackupProgress(file);
    // What the backup holds: everything committed before it began.
    const std::optional<qint64> next = nextTransaction(session);
    QElapsedTimer clock;
    clock.start();
    const db::ServiceBackup backup(settings.alias.toStdString(), settings.user.toStdString(),
                                   settings.password.toStdString(), settings.connectTimeout);
    std::uint64_t watchTransactions = 0;
    // Kept by the worker too: a worker left behind outlives this call.
    const auto sha256 = std::make_shared<QString>();
    PhaseProgress progress(Phase::Backup, databaseBytes(session.Database1));
    progress.expectedMilliseconds = expectedMilliseconds;
    view.showPhaseProgress(progress);
    // The engine, this process's own or a server's, hands the backup over its output to this
    // program, which writes it itself into a file it created on this machine.
    std::shared_ptr<BackupFileWriter> writer;
    try {
        writer = std::make_shared<BackupFileWriter>(file);
    } catch (const std::exception&) {
        view.showBackupProgress(QString());
        const QString failure = failureText(std::current_exception());
        logBackupFailed(log, failure);
        return failure;
    }
    const ServiceJob job([backup, writer, &watchTransactions, sha256](const auto&, const auto& stop) {
        const std::uint64_t bytes = backup.stream(
            [&writer](const std::string& piece) { writer->write(piece.data(), piece.size()); }, stop, &watchTransactions);
        writer->finish();
        *sha256 = writer->sha256();
        return std::optional<std::uint64_t>(bytes);
    });
    const ServiceOutcome outcome = runKeepingWindowAlive(
        job, writer->temporaryPath(), [&view](const QString& line) { view.showBackupProgress(line); }, view, session,
        [&](qint64 written) {
            progress.done = written;
            progress.elapsedMilliseconds = clock.elapsed();
            view.showPhaseProgress(progress);
        });
    view.showBackupProgress(QString());
    session.noteOwnTransactionsElsewhere(watchTransactions);
    if (outcome.stopped && (outcome.failure || !outcome.written)) {
        // A worker left behind would remove it only when it ends.
        writer->discard();
        logBackupStopped(log, file);
        throw Interrupted{session.stopSignal()};
    }
    QString failure = outcome.failure ? failureText(outcome.failure) : QString();
    const qint64 bytes = outcome.written ? static_cast<qint64>(*outcome.written) : QFileInfo(file).size();
    if (failure.isEmpty() && bytes <= 0)
        failure = QStringLiteral("sluzba nehlasila zapsana data do %1").arg(file);
    if (!failure.isEmpty()) {
        logBackupFailed(log, failure);
        // Nothing unfinished was given the name; only the file the writer created goes.
        writer->discard();
        return failure;
    }
    progress.done = bytes;
    progress.elapsedMilliseconds = clock.elapsed();
    progress.finished = true;
    view.showPhaseProgress(progress);
    logBackupMade(log, bytes, clock.elapsed());
    recordBackupMade(session, {settings.alias, file, bytes, *sha256, QDateTime::currentDateTimeUtc(), false,
                               next.value_or(0), 0});
    if (madeFile)
        *madeFile = file;
    // A signal during the backup's last moments: the backup stands, the update does not start.
    session.throwIfStopRequested();
    return {};
}

} // namespace update
