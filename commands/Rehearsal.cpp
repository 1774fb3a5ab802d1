#include "commands/Rehearsal.h"

#include "protocol/NightProtocolFile.h"
#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "db/ServiceBackup.h"
#include "commands/FullUpdate.h"
#include "update/RunLog.h"
#include "update/Settings.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/safety/DatabaseBackup.h"
#include "update/safety/MarkedCopy.h"
#include "update/safety/ReadinessCheck.h"
#include "update/safety/RehearsalCopies.h"
#include "update/safety/RehearsalRestore.h"
#include "update/PhaseSize.h"
#include "update/safety/BackupRecord.h"
#include "update/safety/UpdateClaim.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>
#include <optional>

namespace update {

namespace {

const QString kRehearsalPrefix = QStringLiteral("ZKOUSKA        | ");
const QString kCopySuffix = QStringLiteral("-zkouska.fdb");

// "/backup/hotel.fbk" -> "/backup/hotel-zkouska.fdb".
QString copyNameFor(const QString& backupFile)
{
    return withoutExtension(backupFile) + kCopySuffix;
}

// The database's file as its engine names it.
QString databaseFileOf(UpdateSession& production)
{
    return QString::fromStdString(
        production.Database1.selectFirst("select trim(MON$DATABASE_NAME) from MON$DATABASE").text(0));
}

// The SHA-256 the record holds for the backup just made into `file`; empty when it holds none.
QString recordedSha256(const UpdateSession& production, const QString& file)
{
    const std::vector<RecordedBackup> backups = BackupRecord(production.programDir()).of(production.settings().alias);
    for (auto backup = backups.rbegin(); backup != backups.rend(); ++backup)
        if (backup->file == file)
            return backup->sha256;
    return {};
}

// The report's size of the copy: -1 when the engine does not tell.
qint64 reportedSize(db::Connection& copy)
{
    const qint64 bytes = databaseBytes(copy);
    return bytes > 0 ? bytes : -1;
}

// Before a restore where this machine sees the engine's files: the copy needs at least the
// database's size (0: unknown). Empty when there is room or it cannot be told, else why not.
QString lackOfSpace(qint64 needed, const ConnectionSettings& settings, const QString& copy)
{
    const std::string host = db::serviceTargetOf(settings.alias.toStdString()).host;
    if (!host.empty() && host != "localhost" && host != "127.0.0.1" && host != "::1" && host != "[::1]")
        return {};
    const QStorageInfo volume(QFileInfo(copy).absolutePath());
    if (needed <= 0 || !volume.isValid() || volume.bytesAvailable() >= needed)
        return {};
    return QStringLiteral("na disku pro kopii (%1) je volno %2 B, databaze ma %3 B")
        .arg(volume.rootPath())
        .arg(volume.bytesAvailable())
        .arg(needed);
}

// Whether the copy is no longer there; a server that cannot tell counts as "still there".
bool isGone(const ConnectionSettings& settings, const QString& copy, const StopProbe& stop = [] { return 0; })
{
    try {
        return !existsWhereTheEngineWrites(settings, [&stop] { return stop() != 0; })(copy);
    } catch (const std::exception&) {
        return false;
    }
}

// Stands in for the window while the update runs on the copy: nobody is asked anything, the
// steps are timed and counted, and the real view shows how far it is.
class RehearsalView final : public UpdateView {
public:
    RehearsalView(UpdateView& outer, UpdateSession& rehearsal, int option, RehearsalReport& report)
        : outer_(outer), rehearsal_(rehearsal), option_(option), report_(report)
    {
        rehearsal_.runner().setFailureObserver([this](const QString&, const QString& values) { noteFailure(values); });
        clock_.start();
    }
    ~RehearsalView() override { rehearsal_.runner().setFailureObserver({}); }
    RehearsalView(const RehearsalView&) = delete;
    RehearsalView& operator=(const RehearsalView&) = delete;

    bool isAutomaticMode() const override { return true; }
    int stayingGuestsOption() const override { return option_; }
    bool isButtonEnabled(CommandButton button) const override { return enabled_.at(static_cast<std::size_t>(button)); }
    void setButtonEnabled(CommandButton button, bool enabled) override
    {
        enabled_.at(static_cast<std::size_t>(button)) = enabled;
    }
    void markFullUpdateDone() override {}
    void setIndicatorRunning(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void markStepDone(int step) override
    {
        closeStep(step);
        outer_.showRehearsalProgress(QStringLiteral("krok %1 z 8").arg(step));
    }
    void processPendingMessages() override { outer_.processPendingMessages(); }
    void ShowInfo(int) override {}
    // The report counts the refused statements itself.
    void showCompletion(int, int, const QString&) override {}
    // An error that ended the rehearsed update counts against the step it ended.
    void showCommandError(const QString& text) override
    {
        noteFailure(text);
        closeStep(static_cast<int>(report_.steps.size()) + 1);
    }
    bool continueDespite(const OtherAttachments&) override { return true; }
    void showBackupProgress(const QString&) override {}
    // The update on the copy is the rehearsal's phase of its own.
    void showPhaseProgress(const PhaseProgress& progress) override
    {
        PhaseProgress rehearsed = progress;
        if (rehearsed.phase == Phase::Update)
            rehearsed.phase = Phase::RehearsedUpdate;
        outer_.showPhaseProgress(rehearsed);
    }
    bool continueAfterRehearsal(const RehearsalReport&) override { return false; }

private:
    // The step's time and statements since the last one ended.
    void closeStep(int step)
    {
        RehearsedStep done = current_;
        done.step = step;
        done.milliseconds = clock_.restart();
        done.statements = rehearsal_.runner().statementCount() - statementsBefore_;
        report_.steps.push_back(done);
        statementsBefore_ = rehearsal_.runner().statementCount();
        current_ = {};
    }

    void noteFailure(const QString& values)
    {
        ++current_.failed;
        if (current_.firstFailure.isEmpty())
            current_.firstFailure = values;
    }

    UpdateView& outer_;
    UpdateSession& rehearsal_;
    const int option_;
    RehearsalReport& report_;
    RehearsedStep current_;
    int statementsBefore_ = 0;
    QElapsedTimer clock_;
    std::array<bool, kCommandButtons.size()> enabled_{true, true, true, true};
};

} // namespace

QList<LeftoverCopy> leftoverRehearsalCopies(const QString& programDir, const ConnectionSettings& settings,
                                            const StopProbe& stop)
{
    QList<LeftoverCopy> left;
    const auto stopAsked = [&stop] { return stop() != 0; };
    const auto exists = existsWhereTheEngineWrites(settings, stopAsked);
    for (const RehearsalCopies::Copy& copy : RehearsalCopies(programDir).on(serverOf(settings))) {
        if (stopAsked())
            throw Interrupted{stop()};
        try {
            if (!exists(copy.path))
                continue;
            db::Connection connection;
            applyTo(connection, copySettings(settings, copy.path));
            connection.setInterruption(stopAsked);
            left.append({copy.path, carriesMark(connection, copy.mark)});
        } catch (const std::exception&) {
        }
    }
    return left;
}

std::optional<RehearsalReport> RunRehearsal(UpdateSession& production, UpdateView& view, int option)
{
    std::optional<RehearsalReport> report;
    RunClaimed(production, view, [&] {
        report = Rehearse(production, view, option);
        return true;
    });
    if (production.stopSignal() != 0)
        return std::nullopt;
    return report;
}

RehearsalReport Rehearse(UpdateSession& production, UpdateView& view, int option)
{
    RehearsalReport report;
    report.option = option;
    QElapsedTimer total;
    total.start();
    const ConnectionSettings settings = production.settings();
    const RunLog& log = production.log();
    const RehearsalCopies record(production.programDir());
    const QString server = serverOf(settings);
    const StopProbe stop = [&production] { return production.stopSignal(); };
    for (const RehearsalCopies::Copy& left : record.on(server)) {
        production.throwIfStopRequested();
        if (dropMarkedCopy(settings, left.path, left.mark, stop)) {
            log.WriteLog(QStringLiteral("               | Odstranena kopie predchozi zkousky: ") + left.path);
            record.remove(server, left.path);
        } else if (isGone(settings, left.path, stop)) {
            record.remove(server, left.path);
        } else if (production.stopSignal() == 0) {
            log.WriteLog(QStringLiteral("               | Databaze %1 nenese znacku zkousky, neodstranuje se").arg(left.path));
        }
    }
    production.throwIfStopRequested();

    const auto finish = [&] {
        report.totalMilliseconds = total.elapsed();
        log.WriteLog(report.logEntry());
        view.showRehearsalProgress(QString());
        return report;
    };
    if (production.backupFile().isEmpty()) {
        report.notMade = QStringLiteral("zkouska potrebuje zalohu: v DPH.ini chybi Backup=");
        return finish();
    }

    QElapsedTimer phase;
    phase.start();
    // With this process's own engine the backup passes through the program on its way into the
    // copy; a server's backup comes to this machine first, and its file is then restored into a
    // copy beside the database on the server.
    const bool streamed = streamsBackupIntoCopy(settings);
    if (streamed) {
        if (const QString failure = takeBackupName(production, report.backupFile); !failure.isEmpty()) {
            report.backupFile = production.backupFile();
            report.notMade = QStringLiteral("zaloha se nezdarila: ") + failure;
            return finish();
        }
    } else {
        view.showRehearsalProgress(QStringLiteral("zaloha"));
        const QString backupFailure = BackupBeforeUpdate(production, view, &report.backupFile);
        report.backupMilliseconds = phase.restart();
        if (!backupFailure.isEmpty()) {
            report.backupFile = production.backupFile();
            report.notMade = QStringLiteral("zaloha se nezdarila: ") + backupFailure;
            return finish();
        }
    }
    // Before the copy is begun: a streamed backup's file, still empty, is no backup.
    const auto notBegun = [&](const QString& why) {
        if (streamed) {
            QFile::remove(report.backupFile);
            logBackupFailed(log, QStringLiteral("zkouska nezacala, prazdny soubor %1 odstranen").arg(report.backupFile));
        }
        report.notMade = why;
        return finish();
    };

    try {
        // A server's copy goes beside its database, where that server keeps its files.
        const QString besideOf = streamed ? report.backupFile : databaseFileOf(production);
        report.scratchDatabase = freeBackupName(copyNameFor(besideOf), QDateTime::currentDateTime(),
                                                existsWhereTheEngineWrites(settings, [&stop] { return stop() != 0; }));
    } catch (const db::ConnectAbandoned&) {
        notBegun(QString());
        throw Interrupted{production.stopSignal()};
    } catch (const std::exception& error) {
        return notBegun(QString::fromLocal8Bit(error.what()));
    }
    const qint64 productionBytes = databaseBytes(production.Database1);
    if (const QString full = lackOfSpace(productionBytes, settings, report.scratchDatabase); !full.isEmpty())
        return notBegun(full);
    // Recorded before it exists: a rehearsal killed from here on leaves a copy that the next one finds.
    const QString mark = newCopyMark();
    if (const QString unrecorded = record.add(server, report.scratchDatabase, mark); !unrecorded.isEmpty())
        return notBegun(QStringLiteral("kopii nelze zaznamenat: ") + unrecorded);
    log.WriteLog(kRehearsalPrefix + report.scratchDatabase);
    QString copyFailure;
    if (streamed) {
        view.showRehearsalProgress(QStringLiteral("zaloha a obnova do ") + report.scratchDatabase);
        copyFailure = backUpIntoCopy(production, view, report, report.scratchDatabase, productionBytes);
        // The restore ran alongside the backup: alone it takes about the whole stream.
        report.wayBackMilliseconds = phase.restart();
    } else {
        view.showRehearsalProgress(QStringLiteral("obnova do ") + report.scratchDatabase);
        const QString restoreFailure =
            restoreCopy(production, view, report.backupFile, recordedSha256(production, report.backupFile),
                        report.scratchDatabase, productionBytes,
                        [&view](const QString& line) { view.showRehearsalProgress(line); });
        report.restoreMilliseconds = phase.restart();
        report.wayBackMilliseconds = report.restoreMilliseconds;
        if (!restoreFailure.isEmpty())
            copyFailure = QStringLiteral("obnova zalohy se nezdarila: ") + restoreFailure;
        else if (const QString unrecorded = BackupRecord(production.programDir()).markProved(settings.alias, report.backupFile);
                 !unrecorded.isEmpty())
            log.WriteLog(QStringLiteral("ZKOUSKA        | overeni zalohy nelze zaznamenat: ") + unrecorded);
    }
    if (!copyFailure.isEmpty()) {
        report.notMade = copyFailure;
        if (!isGone(settings, report.scratchDatabase))
            removeFailedCopy(settings, report.scratchDatabase);
        if (isGone(settings, report.scratchDatabase))
            record.remove(server, report.scratchDatabase);
        return finish();
    }
    // The copy holds every guest's data as the hotel's database does: its owner's alone.
    if (db::serviceTargetOf(settings.alias.toStdString()).host.empty())
        QFile::setPermissions(report.scratchDatabase, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    UpdateSession rehearsal(production.programDir(), kRehearsalLogFileName, production.serverScripts());
    rehearsal.applySettings(copySettings(settings, report.scratchDatabase));
    rehearsal.setStopProbe([&production] { return production.stopSignal(); });
    // Its record becomes the rehearsal's protocol, written through the production's session.
    rehearsal.setWritesProtocols(production.writesProtocols());
    const auto dropCopy = [&] {
        rehearsal.QueryPobyty.close();
        try {
            rehearsal.Database1.dropDatabase();
            record.remove(server, report.scratchDatabase);
        } catch (const db::EngineError& error) {
            report.dropFailure = engineErrorValues(error);
        } catch (const std::exception& error) {
            report.dropFailure = QString::fromLocal8Bit(error.what());
        }
    };
    try {
        try {
            rehearsal.Database1.open();
            rehearsal.Database1.execute("comment on database is '" + mark.toStdString() + "'");
        } catch (const db::EngineError& error) {
            report.notMade = QStringLiteral("kopie neni pristupna: ") + engineErrorValues(error);
            dropCopy();
            return finish();
        }
        report.sizeBefore = reportedSize(rehearsal.Database1);
        RehearsalView rehearsed(view, rehearsal, option, report);
        RunFullUpdateWithoutClaim(rehearsal, rehearsed);
        report.updateMilliseconds = phase.restart();
        view.showRehearsalProgress(QStringLiteral("kontrola kopie"));
        // The copy is dropped next: clearing the update's old record versions there (as the
        // check's reads would) is work for nothing, and on a large copy most of the check's time.
        rehearsal.QueryPobyty.close();
        rehearsal.Database1.close();
        rehearsal.Database1.setGarbageCollection(false);
        report.check = CheckReadiness(rehearsal.Database1, [&production] { return production.stopSignal(); }, option);
        writeNightProtocol(production, view, rehearsal.protocol(), report.check, report.scratchDatabase, &rehearsal);
        report.sizeAfter = reportedSize(rehearsal.Database1);
    } catch (const Interrupted& stop) {
        dropCopy();
        log.WriteLog(QStringLiteral("ZKOUSKA CHYBA  | preruseno: ") + signalName(stop.signal));
        view.showRehearsalProgress(QString());
        throw;
    }
    dropCopy();
    if (!report.dropFailure.isEmpty())
        log.WriteLog(QStringLiteral("ZKOUSKA CHYBA  | kopii %1 nelze odstranit: %2").arg(report.scratchDatabase, report.dropFailure));
    return finish();
}

} // namespace update
