// Prints, on copies of a large hotel database, the backup before the update and the restore of a
// backup against gbak through the same services manager, the time of `dph2012 --check`, the
// night's protocol's share of `dph2012 --update c`, the unattended full update with its protocol
// against isql-fb sending the same statements with a commit after each and reading the tables they
// changed, and `dph2012 --rehearse` against gbak -b, gbak -c and isql-fb one after the other and against
// gbak's backup piped into its restore:
// dph2012_safety_bench HOTEL.fdb path/to/dph2012 [SMALL.fdb] (HOTEL.fdb made by
// hotel_db/make_large.sh); with SMALL.fdb, the unattended update is also timed on that small
// database, where the program's start-up weighs most.

#include "SilentView.h"

#include "db/Connection.h"
#include "db/ServiceBackup.h"
#include "db/StreamedCopy.h"
#include "update/OldRateItems.h"
#include "update/safety/BackupRecord.h"
#include "update/PhaseSize.h"
#include "update/safety/DatabaseBackup.h"
#include "update/RunLog.h"
#include "update/ServerScripts.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The original step 5, which also moved the lines of a split stay's 2011 part.
const QString kOriginalStep5 = QStringLiteral(
    "update rec_mm_rezdet set DPH = 14 where MarkovanoDo is null and DPH = 10 and rec_mm_rezdet.datumdo >= \"1.1.2012\"");


// A run on the small database takes a tenth of a second: more pairs steady its median.
constexpr int kSmallUpdatePairs = 31;
constexpr int kCheckRuns = 5;
// Rounds (pairs) of each comparison on the large database; DPH2012_BENCH_ROUNDS sets fewer for
// a database of hundreds of megabytes, where one round of the rehearsals takes minutes.
int rounds()
{
    const int set = qEnvironmentVariableIntValue("DPH2012_BENCH_ROUNDS");
    return set > 0 ? set : 9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Odd pairs run the second first, so neither side always meets a warm or a cold cache.
void inAlternatingOrder(int pair, const std::function<void()>& first, const std::function<void()>& second)
{
    (pair % 2 ? second : first)();
    (pair % 2 ? first : second)();
}

// Each round starts with the next contender, so that none always meets a warm or a cold cache.
void inRotatingOrder(int round, const std::vector<std::function<void()>>& contenders)
{
    for (std::size_t at = 0; at < contenders.size(); ++at)
        contenders[(at + static_cast<std::size_t>(round)) % contenders.size()]();
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Bench {
public:
    Bench(QString source, QString program) : source_(std::move(source)), program_(std::move(program))
    {
        if (!directory_.isValid())
            throw std::runtime_error("no temporary directory");
        QFile::copy(program_, path(QStringLiteral("dph2012")));
    }

    QString path(const QString& name) const { return directory_.filePath(name); }

    // A fresh copy of the large database under the name.
    QString copy(const QString& name) const
    {
        const QString target = path(name);
        QFile::remove(target);
        if (!QFile::copy(source_, target))
            throw std::runtime_error("cannot copy " + source_.toStdString());
        return target;
    }

    void writeSettings(const QString& database, const QString& backup = QString()) const
    {
        QFile ini(path(QStringLiteral("DPH.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write DPH.ini");
        ini.write("[Params]\r\nAlias=" + database.toUtf8() + "\r\nUser=SYSDBA\r\n");
        if (!backup.isEmpty())
            ini.write("Backup=" + backup.toUtf8() + "\r\n");
    }

    // False when the process crashed and `crashAllowed`; throws on any other failure.
    static bool run(const QString& executable, const QStringList& arguments, const QString& input = QString(),
                    const std::vector<int>& accepted = {0}, bool crashAllowed = false)
    {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        if (!input.isEmpty())
            process.setStandardInputFile(input);
        process.start(executable, arguments);
        if (!process.waitForFinished(-1))
            throw std::runtime_error(executable.toStdString() + " did not finish");
        if (process.exitStatus() == QProcess::CrashExit && crashAllowed)
            return false;
        if (process.exitStatus() != QProcess::NormalExit
            || std::find(accepted.begin(), accepted.end(), process.exitCode()) == accepted.end())
            throw std::runtime_error(executable.toStdString() + " failed with " + std::to_string(process.exitCode()));
        return true;
    }

    // A run that must end with status 0: its standard output, and each line of its standard
    // error with the milliseconds since the start when it came.
    struct TimedRun {
        QByteArray output;
        std::vector<std::pair<double, QString>> lines;
        double milliseconds = 0;

        // When the first line starting with `prefix` came; the whole run when none did.
        double at(const QString& prefix) const
        {
            for (const auto& [when, line] : lines)
                if (line.startsWith(prefix))
                    return when;
            return milliseconds;
        }
    };

    static TimedRun timedRun(const QString& executable, const QStringList& arguments)
    {
        TimedRun result;
        QProcess process;
        process.setReadChannel(QProcess::StandardError);
        const auto start = Clock::now();
        const auto sinceStart = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
        process.start(executable, arguments);
        while (process.waitForReadyRead(-1)) {
            const double when = sinceStart();
            while (process.canReadLine())
                result.lines.emplace_back(when, QString::fromLocal8Bit(process.readLine()).trimmed());
        }
        if (!process.waitForFinished(-1) && process.state() != QProcess::NotRunning)
            throw std::runtime_error(executable.toStdString() + " did not finish");
        result.milliseconds = sinceStart();
        result.output = process.readAllStandardOutput();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            throw std::runtime_error(executable.toStdString() + " failed with " + std::to_string(process.exitCode()) + ":\n"
                                     + result.output.toStdString());
        return result;
    }

    // An unattended run with the night's protocol: the whole run and the time from the run log's
    // KONEC entry (the command's end, looked for while the run goes on) to the program's end.
    struct ProtocolRun {
        double total = 0, protocol = 0;
    };

    ProtocolRun runWithProtocol(const QStringList& arguments) const
    {
        const QString log = path(update::kRunLogFileName);
        QFile::remove(log);
        for (const QString& old : QDir(path(QString())).entryList({QStringLiteral("QVTDPH2012-protokol-*")}))
            QFile::remove(path(old));
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QFile entries(log);
        QByteArray tail;
        double ended = -1;
        const auto start = Clock::now();
        const auto sinceStart = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
        process.start(path(QStringLiteral("dph2012")), arguments);
        while (!process.waitForFinished(5)) {
            if (ended >= 0)
                continue;
            // Only what the log gained since the last look is read.
            if (!entries.isOpen() && !entries.open(QIODevice::ReadOnly))
                continue;
            tail += entries.readAll();
            if (tail.contains("KONEC"))
                ended = sinceStart();
            tail = tail.right(16);
        }
        ProtocolRun run;
        run.total = sinceStart();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            throw std::runtime_error("dph2012 failed with " + std::to_string(process.exitCode()));
        if (ended < 0) {
            entries.seek(0);
            throw std::runtime_error("the run log has no KONEC entry: " + entries.readAll().right(400).toStdString());
        }
        if (QDir(path(QString())).entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}).isEmpty())
            throw std::runtime_error("the run wrote no PDF protocol");
        run.protocol = run.total - ended;
        return run;
    }

    // The full update with staying guests by option c, its protocol's time and share of the run.
    void protocolShare() const
    {
        std::vector<double> totals, protocols, shares;
        for (int round = 0; round < rounds(); ++round) {
            writeSettings(copy(QStringLiteral("ours.fdb")));
            const ProtocolRun run = runWithProtocol({QStringLiteral("--update"), QStringLiteral("c")});
            totals.push_back(run.total);
            protocols.push_back(run.protocol);
            shares.push_back(run.protocol / run.total);
        }
        std::printf("dph2012 --update c:              median %9.1f ms  (%d runs)\n", median(totals), rounds());
        std::printf("  its protocol (KONEC to the end): median %.1f ms, share median %.3f, worst %.3f (goal at most "
                    "0.10)\n",
                    median(protocols), median(shares), *std::max_element(shares.begin(), shares.end()));
    }

    void backups() const
    {
        std::vector<double> ours, theirs, bare;
        qint64 ourSize = 0, theirSize = 0;
        int gbakCrashes = 0;
        int phaseReports = 0;
        const QString database = copy(QStringLiteral("backup.fdb"));
        for (int pair = 0; pair < rounds(); ++pair) {
            const QString ourFile = path(QStringLiteral("ours.fbk"));
            const QString theirFile = path(QStringLiteral("theirs.fbk"));
            QFile::remove(ourFile);
            QFile::remove(theirFile);
            const auto measureOurs = [&] {
                update::UpdateSession session(path(QStringLiteral("log")));
                session.applySettings({database, QStringLiteral("SYSDBA"), QString()});
                session.setBackupFile(ourFile);
                SilentView view;
                ours.push_back(millisecondsOf([&] {
                    if (!update::BackupBeforeUpdate(session, view).isEmpty())
                        throw std::runtime_error("the backup failed");
                }));
                phaseReports = view.phaseReports;
            };
            // gbak of Firebird 3 at times crashes on leaving the embedded services manager, after
            // it has written and closed the whole file; such a run still counts.
            const auto measureTheirs = [&] {
                theirs.push_back(millisecondsOf([&] {
                    if (!run(QStringLiteral("gbak"),
                             {QStringLiteral("-b"), QStringLiteral("-se"), QStringLiteral("service_mgr"), database, theirFile,
                              QStringLiteral("-user"), QStringLiteral("SYSDBA")},
                             {}, {0}, true))
                        ++gbakCrashes;
                }));
                if (QFileInfo(theirFile).size() == 0)
                    throw std::runtime_error("gbak wrote no backup");
            };
            // The same service without any of the program's progress: no phase, no file looked at.
            const auto measureBare = [&] {
                const QString bareFile = path(QStringLiteral("bare.fbk"));
                QFile::remove(bareFile);
                bare.push_back(millisecondsOf([&] {
                    db::ServiceBackup(database.toStdString(), "SYSDBA", "", 0).run(bareFile.toStdString(), {});
                }));
            };
            inRotatingOrder(pair, {measureOurs, measureTheirs, measureBare});
            ourSize = QFileInfo(ourFile).size();
            theirSize = QFileInfo(theirFile).size();
        }
        std::printf("backup before the update:        median %9.1f ms, %lld B  (%d pairs)\n", median(ours),
                    static_cast<long long>(ourSize), rounds());
        std::printf("gbak -b -se service_mgr:         median %9.1f ms, %lld B  (crashed on leaving %d times)\n",
                    median(theirs), static_cast<long long>(theirSize), gbakCrashes);
        std::printf("  ratio of times %.3f (goal at most 1.05), ratio of sizes %.3f\n", median(ours) / median(theirs),
                    theirSize ? static_cast<double>(ourSize) / static_cast<double>(theirSize) : 0.0);
        std::printf("the same service, no progress:   median %9.1f ms\n", median(bare));
        std::printf("  with progress / without %.3f (goal at most 1.05)\n", median(ours) / median(bare));
        progressCost(database, path(QStringLiteral("ours.fbk")), phaseReports, median(ours));
    }

    // What the backup's percent costs it: the engine's pages asked once, and the file's size
    // taken once a report, done here on their own as often as the last backup did them.
    static void progressCost(const QString& database, const QString& file, int reports, double backupMilliseconds)
    {
        db::Connection connection;
        connection.setDatabase(database.toStdString());
        connection.setUser("SYSDBA");
        connection.open();
        qint64 sink = 0;
        const double cost = millisecondsOf([&] {
            sink += update::databaseBytes(connection);
            for (int report = 0; report < reports; ++report)
                sink += QFileInfo(file).size();
        });
        std::printf("  its progress: %d reports, %.2f ms = %.4f of the backup's time (goal: with it at most 1.05 "
                    "of without)%s\n",
                    reports, cost, cost / backupMilliseconds, sink > 0 ? "" : " (no size read)");
    }

    // The restore of one backup into a new database, ours through db::ServiceRestore against
    // gbak -c through the same services manager.
    void restores() const
    {
        const QString backup = path(QStringLiteral("restore-source.fbk"));
        QFile::remove(backup);
        run(QStringLiteral("gbak"), {QStringLiteral("-b"), QStringLiteral("-se"), QStringLiteral("service_mgr"),
                                     copy(QStringLiteral("restore.fdb")), backup, QStringLiteral("-user"),
                                     QStringLiteral("SYSDBA")},
            {}, {0}, true);
        const db::ServiceRestore restore(path(QStringLiteral("restore.fdb")).toStdString(), "SYSDBA", "", 0);
        std::vector<double> ours, theirs;
        for (int pair = 0; pair < rounds(); ++pair) {
            const QString ourFile = path(QStringLiteral("ours-restored.fdb"));
            const QString theirFile = path(QStringLiteral("theirs-restored.fdb"));
            QFile::remove(ourFile);
            QFile::remove(theirFile);
            const auto measureOurs = [&] {
                ours.push_back(millisecondsOf([&] { restore.run(backup.toStdString(), ourFile.toStdString(), {}); }));
            };
            const auto measureTheirs = [&] {
                theirs.push_back(millisecondsOf([&] {
                    run(QStringLiteral("gbak"),
                        {QStringLiteral("-c"), QStringLiteral("-se"), QStringLiteral("service_mgr"), backup, theirFile,
                         QStringLiteral("-user"), QStringLiteral("SYSDBA")},
                        {}, {0}, true);
                }));
                if (QFileInfo(theirFile).size() == 0)
                    throw std::runtime_error("gbak restored nothing");
            };
            inAlternatingOrder(pair, measureOurs, measureTheirs);
        }
        std::printf("restore through ServiceRestore:  median %9.1f ms  (%d pairs)\n", median(ours), rounds());
        std::printf("gbak -c -se service_mgr:         median %9.1f ms\n", median(theirs));
        std::printf("  ratio of times %.3f (goal at most 1.05)\n", median(ours) / median(theirs));
    }

    // The way back (`dph2012 --restore --yes`, after an unattended update that made its backup)
    // against gbak -c of the same backup beside the database and the two renames by hand.
    void wayBack() const
    {
        std::vector<double> ours, theirs;
        const QString database = path(QStringLiteral("wayback.fdb"));
        const QString backup = path(QStringLiteral("wayback.fbk"));
        // Each side starts from the database as an unattended update with its backup left it.
        const auto updated = [&] {
            copy(QStringLiteral("wayback.fdb"));
            QFile::remove(backup);
            QFile::remove(path(update::kBackupRecordFileName));
            writeSettings(database, backup);
            run(path(QStringLiteral("dph2012")), {QStringLiteral("x")});
        };
        for (int pair = 0; pair < rounds(); ++pair) {
            const auto measureOurs = [&] {
                updated();
                ours.push_back(millisecondsOf(
                    [&] { run(path(QStringLiteral("dph2012")), {QStringLiteral("--restore"), QStringLiteral("--yes")}); }));
                for (const QString& kept : QDir(path(QString())).entryList({QStringLiteral("wayback-po-aktualizaci-*")}))
                    QFile::remove(path(kept));
            };
            const auto measureTheirs = [&] {
                updated();
                const QString restored = path(QStringLiteral("wayback-restored.fdb"));
                const QString kept = path(QStringLiteral("wayback-kept.fdb"));
                QFile::remove(restored);
                QFile::remove(kept);
                theirs.push_back(millisecondsOf([&] {
                    run(QStringLiteral("gbak"), {QStringLiteral("-c"), QStringLiteral("-se"), QStringLiteral("service_mgr"),
                                                 backup, restored, QStringLiteral("-user"), QStringLiteral("SYSDBA")},
                        {}, {0}, true);
                    if (!QFile::rename(database, kept) || !QFile::rename(restored, database))
                        throw std::runtime_error("cannot rename the restored database");
                }));
                QFile::remove(kept);
            };
            inAlternatingOrder(pair, measureOurs, measureTheirs);
        }
        std::printf("dph2012 --restore --yes:         median %9.1f ms  (%d pairs)\n", median(ours), rounds());
        std::printf("gbak -c -se service_mgr, 2 mv:   median %9.1f ms\n", median(theirs));
        std::printf("  ratio of times %.3f (goal at most 1.05)\n", median(ours) / median(theirs));
    }

    void check() const
    {
        const QString database = copy(QStringLiteral("check.fdb"));
        writeSettings(database);
        std::vector<double> times;
        for (int round = 0; round < kCheckRuns; ++round)
            times.push_back(millisecondsOf([&] { run(path(QStringLiteral("dph2012")), {QStringLiteral("--check")}, {}, {1}); }));
        std::printf("dph2012 --check:                 median %9.1f ms  (%d runs)\n", median(times), kCheckRuns);
    }

    // Step 5's statement alone on a fresh copy, as the engine timed it (isql's own statistics, so
    // that the tool's start is not in the figure).
    double statementMilliseconds(const QString& statement) const
    {
        const QString database = copy(QStringLiteral("step5.fdb"));
        QFile script(path(QStringLiteral("step5.sql")));
        if (!script.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the isql script");
        script.write(QStringLiteral("SET SQL DIALECT 1;\nCONNECT '%1' USER 'SYSDBA';\nSET STATS ON;\n%2;\nCOMMIT;\n")
                         .arg(database, statement)
                         .toUtf8());
        script.close();
        QProcess isql;
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-i"), script.fileName()});
        if (!isql.waitForFinished(-1) || isql.exitCode() != 0)
            throw std::runtime_error("isql-fb failed on step 5");
        const QString output = QString::fromLocal8Bit(isql.readAll());
        const QRegularExpressionMatch elapsed = QRegularExpression(QStringLiteral("Elapsed time= *([0-9.]+) sec")).match(output);
        if (!elapsed.hasMatch() || output.contains(QLatin1String("Statement failed")))
            throw std::runtime_error("isql-fb did not time step 5: " + output.toStdString());
        return elapsed.captured(1).toDouble() * 1000;
    }

    void step5() const
    {
        std::vector<double> ours, original;
        for (int pair = 0; pair < rounds(); ++pair)
            inAlternatingOrder(
                pair, [&] { ours.push_back(statementMilliseconds(update::reservations().statement())); },
                [&] { original.push_back(statementMilliseconds(kOriginalStep5)); });
        std::printf("step 5, the program's statement: median %9.1f ms  (%d alternating pairs)\n", median(ours), rounds());
        std::printf("step 5, the original statement:  median %9.1f ms\n", median(original));
        std::printf("  ratio of medians %.3f (goal at most 1.10)\n", median(ours) / median(original));
    }

    // Steps 1 to 6 as the unattended update sends them on a fresh copy, a commit after each.
    QString isqlScript(const QString& database) const
    {
        QString script = QStringLiteral("SET SQL DIALECT 1;\nSET BAIL ON;\nCONNECT '%1' USER 'SYSDBA';\n").arg(database);
        const QStringList statements = {
            QStringLiteral("update pos_taxes set pos_taxes.percentage = 14 where pos_taxes.percentage = 10"),
            QStringLiteral("select count(*) Pocet from fbs_vat where vat_rate = 14"),
            QStringLiteral("insert into fbs_vat (id_vat,vat_rate) values ((select Max(id_vat) from fbs_vat)+1 ,14)"),
            QStringLiteral("update cissluz set cissluz.dph = 14 where cissluz.dph = 10 and cissluz.typsluzby <> 1"),
            QStringLiteral("update QVT_KONFIG set QVT_KONFIG.hodnotacz = \"14\" where QVT_KONFIG.hodnotacz = \"10\" and "
                           "QVT_KONFIG.Item like \"DPHSazba%\""),
            kOriginalStep5,
        };
        for (const QString& statement : statements)
            script += statement + QStringLiteral(";\nCOMMIT;\n");
        script += QStringLiteral("SET TERM ^ ;\n");
        for (const update::ServerScript& object : update::ServerScripts())
            script += object.statement() + QStringLiteral("^\nCOMMIT^\n");
        script += QStringLiteral("SET TERM ; ^\nexecute PROCEDURE QVT_GENERAL_GRANT (\"VRX_APP_ROLE\");\nCOMMIT;\n");
        return script;
    }

    // One read of each table steps 1 to 5 change, so that their old record versions are cleared
    // as the program's own reads after the update clear them.
    static QString changedTablesRead()
    {
        QString reads;
        for (const char* table : {"pos_taxes", "fbs_vat", "cissluz", "QVT_KONFIG", "rec_mm_rezdet"})
            reads += QStringLiteral("select count(*) from %1;\n").arg(QLatin1String(table));
        return reads + QStringLiteral("COMMIT;\n");
    }

    // The unattended update (staying guests left, option a) with its protocol, against isql-fb
    // sending the original statements and reading the tables they changed.
    void fullUpdate(const char* which, int pairs) const
    {
        std::vector<double> ours, theirs, protocols;
        for (int pair = 0; pair < pairs; ++pair) {
            const auto measureOurs = [&] {
                writeSettings(copy(QStringLiteral("ours.fdb")));
                const ProtocolRun run = runWithProtocol({QStringLiteral("x")});
                ours.push_back(run.total);
                protocols.push_back(run.protocol);
            };
            const auto measureTheirs = [&] {
                const QString database = copy(QStringLiteral("theirs.fdb"));
                QFile script(path(QStringLiteral("update.sql")));
                if (!script.open(QIODevice::WriteOnly))
                    throw std::runtime_error("cannot write the isql script");
                script.write((isqlScript(database) + changedTablesRead()).toUtf8());
                script.close();
                theirs.push_back(millisecondsOf(
                    [&] { run(QStringLiteral("isql-fb"), {QStringLiteral("-q")}, script.fileName()); }));
            };
            inAlternatingOrder(pair, measureOurs, measureTheirs);
        }
        std::printf("%s database:\n", which);
        std::printf("dph2012 x (full update, protocol included): median %9.1f ms  (%d alternating pairs)\n", median(ours),
                    pairs);
        std::printf("  its protocol (KONEC to the end): median %.1f ms, %.3f of the run\n", median(protocols),
                    median(protocols) / median(ours));
        std::printf("isql-fb, the original statements and a read of the changed tables: median %8.1f ms\n",
                    median(theirs));
        std::printf("  ratio of medians %.3f (goal at most 1.10); without its protocol %.3f\n", median(ours) / median(theirs),
                    (median(ours) - median(protocols)) / median(theirs));
    }

    // The stock tools' rehearsal in a row (backup, restore into a copy, the update's statements on
    // it, the copy dropped) or piped (gbak's backup into its restore, the backup kept by tee on
    // the way), each stage timed, and whether a gbak crashed on leaving.
    struct StockRun {
        double total = 0, copy = 0, update = 0;
        bool crashed = false;
    };
    struct StockFigures {
        std::vector<double> totals, copies, updates;
    };
    StockRun stockRehearsal(const QString& database, const QString& backup, const QString& copyFile, bool piped) const
    {
        QFile script(path(QStringLiteral("rehearsal.sql")));
        if (!script.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the isql script");
        script.write((isqlScript(copyFile) + QStringLiteral("DROP DATABASE;\n")).toUtf8());
        script.close();
        const QStringList gbakUser = {QStringLiteral("-user"), QStringLiteral("SYSDBA")};
        StockRun stock;
        stock.total = millisecondsOf([&] {
            stock.copy = millisecondsOf([&] {
                if (piped) {
                    const QString line =
                        QStringLiteral("set -o pipefail; gbak -b -user SYSDBA '%1' stdout | tee '%2' | "
                                       "gbak -c -user SYSDBA stdin '%3'")
                            .arg(database, backup, copyFile);
                    // gbak of Firebird 3 at times crashes on leaving, after its work; the update on
                    // the copy then shows whether the copy was whole.
                    QProcess pipe;
                    pipe.start(QStringLiteral("bash"), {QStringLiteral("-c"), line});
                    if (!pipe.waitForFinished(-1) || (pipe.exitCode() != 0 && pipe.exitCode() != 128 + 11))
                        throw std::runtime_error("the piped stock tools failed");
                    stock.crashed = pipe.exitCode() != 0;
                    return;
                }
                stock.crashed |= !run(QStringLiteral("gbak"),
                                      QStringList{QStringLiteral("-b"), QStringLiteral("-se"), QStringLiteral("service_mgr"),
                                                  database, backup} + gbakUser,
                                      {}, {0}, true);
                stock.crashed |= !run(QStringLiteral("gbak"),
                                      QStringList{QStringLiteral("-c"), QStringLiteral("-se"), QStringLiteral("service_mgr"),
                                                  backup, copyFile} + gbakUser,
                                      {}, {0}, true);
            });
            stock.update = millisecondsOf([&] { run(QStringLiteral("isql-fb"), {QStringLiteral("-q")}, script.fileName()); });
        });
        if (QFileInfo(backup).size() == 0 || QFileInfo::exists(copyFile))
            throw std::runtime_error("the stock tools wrote no backup or left the copy");
        return stock;
    }

    // The whole rehearsal on a fresh copy each time: `dph2012 --rehearse` against the stock tools
    // in a row and piped, each stage timed so that a gap can be placed; and its backup-and-restore
    // phase against the same streamed copy made without any of the program's progress.
    void rehearsals() const
    {
        const QDir scratch(path(QStringLiteral("rehearsal")));
        scratch.mkpath(QStringLiteral("."));
        const QString ourBackup = scratch.filePath(QStringLiteral("ours.fbk"));
        const QString ourCopy = scratch.filePath(QStringLiteral("ours-zkouska.fdb"));
        std::vector<double> ours, ourStarts, ourCopies, ourOpenings, ourUpdates, ourEnds;
        StockFigures inARow, piped;
        std::vector<double> bareCopies;
        int gbakCrashes = 0;
        for (int round = 0; round < rounds(); ++round) {
            // Nothing of an earlier run left: no backup to rename around, no copy, no run log naming
            // copies to look for.
            for (const QString& file : scratch.entryList(QDir::Files))
                QFile::remove(scratch.filePath(file));
            QFile::remove(path(update::kRunLogFileName));
            QFile::remove(path(update::kRehearsalLogFileName));
            const auto measureOurs = [&] {
                writeSettings(copy(QStringLiteral("ours-rehearsed.fdb")), ourBackup);
                // The progress lines on standard error mark where each phase begins.
                const TimedRun rehearsed = timedRun(path(QStringLiteral("dph2012")), {QStringLiteral("--rehearse")});
                const double copying = rehearsed.at(QStringLiteral("dph2012: rehearsal: zaloha a obnova do"));
                const double copied = rehearsed.at(QStringLiteral("dph2012: backup and restore: 100 %"));
                const double update = rehearsed.at(QStringLiteral("dph2012: rehearsal: krok 1 z 8"));
                const double check = rehearsed.at(QStringLiteral("dph2012: rehearsal: kontrola kopie"));
                if (check >= rehearsed.milliseconds)
                    throw std::runtime_error("the rehearsal did not say how far it was:\n" + rehearsed.output.toStdString());
                ours.push_back(rehearsed.milliseconds);
                ourStarts.push_back(copying);
                ourCopies.push_back(copied - copying);
                ourOpenings.push_back(update - copied);
                ourUpdates.push_back(check - update);
                ourEnds.push_back(rehearsed.milliseconds - check);
                if (QFileInfo::exists(ourCopy))
                    throw std::runtime_error("the rehearsal left its copy");
                QFile::remove(ourBackup);
            };
            const auto measureStock = [&](const QString& name, bool pipe, StockFigures& figures) {
                return [&, name, pipe] {
                    const StockRun stock = stockRehearsal(copy(name + QStringLiteral("-rehearsed.fdb")),
                                                          scratch.filePath(name + QStringLiteral(".fbk")),
                                                          scratch.filePath(name + QStringLiteral("-copy.fdb")), pipe);
                    gbakCrashes += stock.crashed;
                    figures.totals.push_back(stock.total);
                    figures.copies.push_back(stock.copy);
                    figures.updates.push_back(stock.update);
                };
            };
            const auto measureBare = [&] {
                const QString database = copy(QStringLiteral("bare-rehearsed.fdb"));
                const QString bareCopy = scratch.filePath(QStringLiteral("bare-copy.fdb"));
                QFile kept(scratch.filePath(QStringLiteral("bare.fbk")));
                if (!kept.open(QIODevice::WriteOnly))
                    throw std::runtime_error("cannot write the kept backup");
                const db::StreamedCopy copier(db::ServiceBackup(database.toStdString(), "SYSDBA", "", 0),
                                              db::ServiceRestore(database.toStdString(), "SYSDBA", "", 0));
                bareCopies.push_back(millisecondsOf([&] {
                    copier.run(bareCopy.toStdString(),
                               [&kept](const std::string& piece) { kept.write(piece.data(), static_cast<qint64>(piece.size())); },
                               {});
                }));
                kept.close();
                QFile::remove(bareCopy);
            };
            inRotatingOrder(round, {measureOurs, measureStock(QStringLiteral("row"), false, inARow),
                                    measureStock(QStringLiteral("piped"), true, piped), measureBare});
        }
        std::printf("dph2012 --rehearse:              median %9.1f ms  (%d rounds)\n", median(ours), rounds());
        std::printf("  each: start %.0f + backup and restore %.0f + opening the copy %.0f + update %.0f + check and drop "
                    "%.0f ms\n",
                    median(ourStarts), median(ourCopies), median(ourOpenings), median(ourUpdates), median(ourEnds));
        std::printf("gbak -b, gbak -c, isql-fb, drop: median %9.1f ms  (a stock tool crashed on leaving in %d of %d runs)\n",
                    median(inARow.totals), gbakCrashes, 3 * rounds());
        std::printf("  each: backup and restore %.0f + update and drop %.0f ms\n", median(inARow.copies), median(inARow.updates));
        std::printf("gbak -b | tee | gbak -c, isql-fb: median %9.1f ms\n", median(piped.totals));
        std::printf("  each: backup and restore %.0f + update and drop %.0f ms\n", median(piped.copies), median(piped.updates));
        std::printf("  rehearsal / stock in a row %.3f (goal at most 0.75), / stock piped %.3f\n", median(ours) / median(inARow.totals),
                    median(ours) / median(piped.totals));
        std::printf("streamed copy, no progress:      median %9.1f ms\n", median(bareCopies));
        std::printf("  backup and restore with progress / without %.3f (goal at most 1.05)\n",
                    median(ourCopies) / median(bareCopies));
    }

private:
    QString source_;
    QString program_;
    QTemporaryDir directory_;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s HOTEL.fdb path/to/dph2012 [SMALL.fdb]\n", argv[0]);
        return 2;
    }
    try {
        const Bench bench(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
        // DPH2012_BENCH_ONLY=backups, =protocol, =update (step 5 and the full update), =wayback or
        // =rehearsals leaves out the rest, for one look at a very large database.
        const QString only = qEnvironmentVariable("DPH2012_BENCH_ONLY");
        const auto wanted = [&only](const char* section) { return only.isEmpty() || only == QLatin1String(section); };
        if (wanted("backups"))
            bench.backups();
        if (wanted("protocol"))
            bench.protocolShare();
        if (only.isEmpty()) {
            bench.restores();
            bench.check();
        }
        if (wanted("update")) {
            bench.step5();
            bench.fullUpdate("large", rounds());
        }
        if (wanted("wayback"))
            bench.wayBack();
        if (wanted("rehearsals"))
            bench.rehearsals();
        if (argc == 4)
            Bench(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2])).fullUpdate("small", kSmallUpdatePairs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
