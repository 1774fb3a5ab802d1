#include "update/safety/RehearsalRestore.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "db/ServiceBackup.h"
#include "db/StreamedCopy.h"
#include "update/PhaseClock.h"
#include "update/RunLog.h"
#include "update/Settings.h"
#include "update/Stop.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/safety/BackupFileWriter.h"
#include "update/safety/BackupRecord.h"
#include "update/safety/DatabaseBackup.h"
#include "update/safety/LocalBackupFile.h"
#include "update/safety/OpenedBackup.h"
#include "update/safety/OwnFile.h"
#include "update/safety/RehearsalCopies.h"
#include "update/safety/RehearsalReport.h"
#include "update/safety/ServiceJob.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>

namespace update {

namespace {

// The copy's connection string: on the production database's server.
QString copyAddress(const ConnectionSettings& settings, const QString& copy)
{
    return QString::fromStdString(db::serviceTargetOf(settings.alias.toStdString()).serverPrefix) + copy;
}

// The last part of a path as its server writes it, "/" or "\\" before it.
QString fileNameOf(const QString& path)
{
    return path.mid(std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

// Drops the copy that this run's own restore was making when it was stopped: the name was free
// before the restore, so whatever is there is its work; the file the server opens must carry the
// copy's name (an alias could lead elsewhere). False when it is not there or the engine refuses.
bool dropOwnRestore(const ConnectionSettings& production, const QString& copy)
{
    const ConnectionSettings settings = copySettings(production, copy);
    try {
        return db::dropDatabaseOfFile(settings.alias.toStdString(), fileNameOf(copy).toStdString(),
                                      settings.user.toStdString(), settings.password.toStdString(),
                                      settings.connectTimeout);
    } catch (const std::exception&) {
        return false;
    }
}

// After a stop signal: the copy this restore was making goes where it can, and Interrupted is thrown.
[[noreturn]] void abandonCopy(UpdateSession& production, const ServiceOutcome& outcome, const QString& copy)
{
    const ConnectionSettings settings = production.settings();
    const bool embedded = db::serviceTargetOf(settings.alias.toStdString()).host.empty();
    // A restore cannot be stopped: this process's own engine writes on into a file that is
    // gone once the process ends; a server's restore runs to its end, and the next
    // rehearsal drops the copy (the check lists it meanwhile). Only a copy that this restore
    // made is touched: a name taken by another meanwhile is not this run's to delete.
    const RehearsalCopies record(production.programDir());
    if (!outcome.fileMayRemain) {
        record.remove(serverOf(settings), copy);
        throw Interrupted{production.stopSignal()};
    }
    if (removeFailedCopy(settings, copy) || embedded) {
        record.remove(serverOf(settings), copy);
    } else {
        production.log().WriteLog(
            QStringLiteral("ZKOUSKA CHYBA  | kopie %1 se na serveru dokoncuje, odstrani ji pristi zkouska").arg(copy));
    }
    throw Interrupted{production.stopSignal()};
}

} // namespace

ConnectionSettings copySettings(const ConnectionSettings& production, const QString& copy)
{
    ConnectionSettings settings = production;
    settings.alias = copyAddress(production, copy);
    return settings;
}

QString serverOf(const ConnectionSettings& settings)
{
    return QString::fromStdString(db::serviceTargetOf(settings.alias.toStdString()).serverPrefix);
}

bool removeFailedCopy(const ConnectionSettings& production, const QString& copy)
{
    return dropOwnRestore(production, copy)
        || (db::serviceTargetOf(production.alias.toStdString()).host.empty() && QFile::remove(copy));
}

bool streamsBackupIntoCopy(const ConnectionSettings& settings)
{
    return db::serviceTargetOf(settings.alias.toStdString()).host.empty();
}

namespace {

// The restore's call of its service, on the worker thread: progress lines (none asked for when
// empty) and the stop.
using RestoreCall = std::function<void(const db::ServiceRestore&, const std::string& copy,
                                       const db::ServiceBackup::ProgressLine&, const db::ServiceBackup::StopRequested&)>;

QString restoreCopyBy(UpdateSession& production, UpdateView& view, const RestoreCall& call, const QString& copy,
                      qint64 copyBytes, const std::function<void(const QString&)>& show)
{
    const ConnectionSettings settings = production.settings();
    const db::ServiceRestore service(settings.alias.toStdString(), settings.user.toStdString(),
                                     settings.password.toStdString(), settings.connectTimeout);
    const bool embedded = db::serviceTargetOf(settings.alias.toStdString()).host.empty();
    // The copy grows back to about the database's size; a server's copy cannot be measured here.
    PhaseProgress progress(Phase::Restore, embedded ? copyBytes : 0);
    QElapsedTimer clock;
    clock.start();
    view.showPhaseProgress(progress);
    const ServiceOutcome outcome = runKeepingWindowAlive(
        [service, call, to = copy.toStdString()](const auto& lines, const auto& stop) {
            call(service, to, lines, stop);
            return std::optional<std::uint64_t>();
        },
        embedded ? copy : QString(), [&show](const QString& line) { show(QStringLiteral("obnova: ") + line); },
        view, production, [&](qint64 written) {
            progress.done = written;
            progress.elapsedMilliseconds = clock.elapsed();
            view.showPhaseProgress(progress);
        });
    if (outcome.stopped)
        abandonCopy(production, outcome, copy);
    if (outcome.failure)
        return failureText(outcome.failure);
    progress.done = embedded ? QFileInfo(copy).size() : 0;
    progress.elapsedMilliseconds = clock.elapsed();
    progress.finished = true;
    view.showPhaseProgress(progress);
    return {};
}

// At most this much of this process's memory holds the pages of the copy it makes with its own
// engine: the whole of a usual hotel's database, where the engine's default cache (2,048 pages)
// holds a few percent of it and the restore's indexes, the update and the check would read the
// rest from the disk page by page, over and over.
constexpr qint64 kCopyCacheBytes = 256LL * 1024 * 1024;

constexpr qint64 kEngineDefaultPages = 2048;

// The copy's page cache: the database's pages up to the bound, or the engine's default (0) when
// that holds them already or the page size cannot be read.
unsigned copyPageBuffers(UpdateSession& production, qint64 productionBytes)
{
    try {
        const qint64 pageSize = production.Database1.select("select MON$PAGE_SIZE from MON$DATABASE").integer(0);
        if (pageSize <= 0)
            return 0;
        const qint64 bytes = productionBytes > 0 ? std::min(productionBytes, kCopyCacheBytes) : kCopyCacheBytes;
        const qint64 pages = bytes / pageSize;
        return pages > kEngineDefaultPages ? static_cast<unsigned>(pages) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

QString restoreCopy(UpdateSession& production, UpdateView& view, const QString& backup, const QString& sha256,
                    const QString& copy, qint64 copyBytes, const std::function<void(const QString&)>& show)
{
    // Everything the restore reads comes from this one opening, hashed on its way.
    std::shared_ptr<OpenedBackup> opened;
    try {
        opened = std::make_shared<OpenedBackup>(backup);
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
    const QString failure = restoreCopy(
        production, view, [opened](std::size_t wanted) { return opened->read(wanted); }, copy, copyBytes, show);
    if (!failure.isEmpty())
        return failure;
    if (sha256.isEmpty() || opened->sha256() != sha256)
        return QStringLiteral("zaloha %1 neni tim souborem, ktery program zapsal (SHA-256 nesouhlasi)").arg(backup);
    return {};
}

QString restoreCopy(UpdateSession& production, UpdateView& view, const BackupPieces& backup, const QString& copy,
                    qint64 copyBytes, const std::function<void(const QString&)>& show)
{
    return restoreCopyBy(
        production, view,
        [backup](const db::ServiceRestore& service, const std::string& to, const auto& lines, const auto& stop) {
            // A stop ends the service's input, which is how a streamed restore is ended.
            service.runFromStream(
                to, [&](std::size_t wanted) { return stop && stop() ? std::string() : backup(wanted); }, stop, lines);
        },
        copy, copyBytes, show);
}

QString backUpIntoCopy(UpdateSession& production, UpdateView& view, RehearsalReport& report, const QString& copy,
                       qint64 productionBytes)
{
    const ConnectionSettings settings = production.settings();
    const db::ServiceTarget target = db::serviceTargetOf(settings.alias.toStdString());
    const std::string user = settings.user.toStdString(), password = settings.password.toStdString();
    db::ServiceRestore restore(settings.alias.toStdString(), user, password, settings.connectTimeout);
    restore.setPageBuffers(copyPageBuffers(production, productionBytes));
    const db::StreamedCopy copier(db::ServiceBackup(settings.alias.toStdString(), target, user, password,
                                                    settings.connectTimeout),
                                  restore);
    // What the worker thread finds out, kept by it too: a worker left behind outlives this call.
    struct Found {
        db::StreamedCopyResult result;
        std::uint64_t watchTransactions = 0;
        QString sha256;
    };
    const auto found = std::make_shared<Found>();
    // What the backup holds: everything committed before it began.
    const std::optional<qint64> next = nextTransaction(production);
    // The copy grows back to about the database's size while the backup passes on its way.
    PhaseProgress progress(Phase::BackupAndRestore, productionBytes);
    QElapsedTimer clock;
    clock.start();
    view.showPhaseProgress(progress);
    // The backup goes into a file this program created; only that file is removed when it fails.
    std::shared_ptr<BackupFileWriter> writer;
    try {
        writer = std::make_shared<BackupFileWriter>(report.backupFile);
    } catch (const std::exception&) {
        const QString why = QStringLiteral("soubor zalohy nelze zapsat: ") + failureText(std::current_exception());
        logBackupFailed(production.log(), why);
        return QStringLiteral("zaloha se nezdarila: ") + why;
    }
    const ServiceOutcome outcome = runKeepingWindowAlive(
        [copier, found, file = writer, to = copy.toStdString()](const auto&, const auto& stop) {
            found->result = copier.run(
                to, [&file](const std::string& piece) { file->write(piece.data(), piece.size()); }, stop,
                &found->watchTransactions);
            try {
                file->finish();
                found->sha256 = file->sha256();
            } catch (...) {
                throw db::StreamFailed(db::StreamSide::Keeping, std::current_exception());
            }
            return std::optional<std::uint64_t>(found->result.backupBytes);
        },
        copy, {}, view, production, [&](qint64 restored) {
            progress.done = restored;
            progress.elapsedMilliseconds = clock.elapsed();
            view.showPhaseProgress(progress);
        });
    const RunLog& log = production.log();
    production.noteOwnTransactionsElsewhere(found->watchTransactions);
    // Whatever the backup file holds after a stop or a failure, it is no backup.
    const auto removeWritten = [&writer, &report] {
        if (writer->named())
            QFile::remove(report.backupFile);
        writer->discard();
    };
    if (outcome.stopped) {
        removeWritten();
        logBackupStopped(log, report.backupFile);
        abandonCopy(production, outcome, copy);
    }
    if (outcome.failure) {
        removeWritten();
        bool restoreFailed = false;
        QString why = failureText(outcome.failure);
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const db::StreamFailed& failed) {
            why = failureText(failed.cause());
            if (failed.side() == db::StreamSide::Keeping)
                why = QStringLiteral("soubor zalohy nelze zapsat: ") + why;
            restoreFailed = failed.side() == db::StreamSide::Restore;
        } catch (...) {
        }
        if (restoreFailed) {
            logBackupFailed(log, QStringLiteral("obnova do kopie selhala, nedokoncena zaloha %1 odstranena")
                                     .arg(report.backupFile));
            return QStringLiteral("obnova zalohy se nezdarila: ") + why;
        }
        logBackupFailed(log, why);
        return QStringLiteral("zaloha se nezdarila: ") + why;
    }
    report.backupMilliseconds = found->result.backupMilliseconds;
    report.restoreMilliseconds = std::max<qint64>(clock.elapsed() - found->result.backupMilliseconds, 0);
    progress.done = QFileInfo(copy).size();
    progress.elapsedMilliseconds = clock.elapsed();
    progress.finished = true;
    view.showPhaseProgress(progress);
    logBackupMade(log, static_cast<qint64>(found->result.backupBytes), found->result.backupMilliseconds);
    // Restored in full on its way: the way back is proved.
    recordBackupMade(production, {settings.alias, report.backupFile, static_cast<qint64>(found->result.backupBytes),
                                  found->sha256, QDateTime::currentDateTimeUtc(), true, next.value_or(0), 0});
    return {};
}

} // namespace update
