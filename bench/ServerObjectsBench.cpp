// Prints how long the installed objects take on a large hotel database, and whether they read the
// big tables without an index: dph2012_bench HOTEL.fdb (made by hotel_db/make_large.sh).

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/Query.h"
#include "update/RunLog.h"
#include "update/ServerScripts.h"
#include "update/StatementRunner.h"
#include "update/StayingGuests.h"

#include <QDir>
#include <QFileInfo>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::map<std::string, std::int64_t> sequentialReads(db::Connection& connection)
{
    db::ResultSet rows = connection.select(
        "select trim(t.MON$TABLE_NAME), r.MON$RECORD_SEQ_READS from MON$TABLE_STATS t"
        " join MON$RECORD_STATS r on r.MON$STAT_ID = t.MON$RECORD_STAT_ID"
        " join MON$ATTACHMENTS a on a.MON$STAT_ID = t.MON$STAT_ID"
        " where a.MON$ATTACHMENT_ID = current_connection");
    std::map<std::string, std::int64_t> reads;
    for (; !rows.eof(); rows.next())
        reads[rows.text(0)] = rows.integer(1);
    return reads;
}

std::int64_t count(db::Connection& connection, const std::string& sql)
{
    return connection.select(sql).integer(0);
}

void report(const char* what, std::size_t times, double milliseconds)
{
    std::printf("%-44s %6zu x  %10.1f ms  %8.2f ms each\n", what, times, milliseconds,
                times ? milliseconds / static_cast<double>(times) : 0.0);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s HOTEL.fdb\n", argv[0]);
        return 2;
    }
    const std::string database = argv[1];
    const QString logDirectory = QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath();

    db::Connection connection;
    connection.setDatabase(database);
    connection.setUser("SYSDBA");
    db::Query query(connection);
    const update::RunLog log(logDirectory);
    update::StatementRunner runner(query, log);

    try {
        std::printf("database %s: %lld account heads, %lld account items, %lld reservations, %lld lines\n",
                    database.c_str(), static_cast<long long>(count(connection, "select count(*) from REC_CHECKHEAD")),
                    static_cast<long long>(count(connection, "select count(*) from REC_CHECKDTL")),
                    static_cast<long long>(count(connection, "select count(*) from REC_MM_REZERVACE")),
                    static_cast<long long>(count(connection, "select count(*) from REC_MM_REZDET")));

        auto start = Clock::now();
        const auto scripts = update::ServerScripts();
        for (const auto& script : scripts)
            runner.ExecSql(script.statement());
        report("install the five objects", static_cast<std::size_t>(scripts.size()), millisecondsSince(start));

        db::ResultSet stays = connection.select(update::kStayQuery.toStdString());
        std::vector<std::string> groups;
        for (; !stays.eof(); stays.next())
            groups.push_back(stays.text(0));

        const auto before = sequentialReads(connection);
        start = Clock::now();
        for (const auto& group : groups)
            runner.ExecSql(QString::fromStdString("execute procedure REC_DPH_DeleniPobytu(" + group + ",\"31.12.2011\")"));
        report("split a group's stays", groups.size(), millisecondsSince(start));

        start = Clock::now();
        std::size_t closed = 0;
        for (const auto& group : groups) {
            const QString account = runner.SelectValue(QString::fromStdString(
                "select * from Rec_MM_MarkujUbytovaniKlienta(" + group + ", \"31.12.2011\", 2, \"Internal\")"));
            if (account.isEmpty() || account == update::kFailMarker)
                continue;
            runner.SelectValue("select * from REC_DPH_UzavreniUctu(" + account + ", \"31.12.2011\")");
            ++closed;
        }
        report("post accommodation and close the account", closed, millisecondsSince(start));

        const std::int64_t open = count(connection, "select count(*) from REC_CHECKHEAD where Status < 2");
        start = Clock::now();
        runner.ExecSql("execute procedure REC_DPH_UZAVRENIVSECHUCTU(\"31.12.2011\")");
        report("close all open accounts (one call)", static_cast<std::size_t>(open), millisecondsSince(start));

        const auto after = sequentialReads(connection);
        std::printf("\nrecords read without an index during the splits and closings:\n");
        for (const char* table : {"REC_CHECKHEAD", "REC_CHECKDTL", "REC_POKLDENIK", "REC_MM_REZERVACE", "REC_MM_REZDET",
                                  "REC_MM_ROOMINGLIST", "REC_MM_KLIENT"}) {
            const auto was = before.find(table);
            const auto now = after.find(table);
            std::printf("  %-20s %lld\n", table,
                        static_cast<long long>((now == after.end() ? 0 : now->second)
                                               - (was == before.end() ? 0 : was->second)));
        }
        std::printf("statements the engine refused: %d (see %s)\n", runner.failureCount(),
                    qPrintable(QDir::toNativeSeparators(log.filePath())));
    } catch (const db::EngineError& error) {
        std::fprintf(stderr, "engine error %u %d %s\n", error.errorCode(), error.nativeError(), error.message().c_str());
        return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
