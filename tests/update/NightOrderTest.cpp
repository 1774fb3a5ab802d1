// The night's commands in any order, stopped and run again, end where one clean run ends.

#include "NightEndState.h"
#include "RowDump.h"
#include "RecordingView.h"

#include "FreshDatabase.h"
#include "RunLogEntries.h"
#include "db/Connection.h"
#include "commands/FullUpdate.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"
#include "commands/StockAndBanquets.h"
#include "update/ServerScripts.h"
#include "update/StayOptionRecord.h"
#include "update/UpdateSession.h"
#include "update/safety/ReadinessCheck.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <vector>

namespace {

enum class Command { Full, Step7, Stock };

struct Run {
    Command command;
    int stopBefore = 0; // the statement (counted from 1) before which SIGTERM arrives; 0 for none
    int option = -1;    // the option of this run; -1 for the night's
};

// A hotel database and the program started on it once per command, like an operator's night.
class Night {
public:
    Night() : database_(testsupport::HotelData::Demo)
    {
        connection_.setDatabase(database_.path());
        connection_.setUser("SYSDBA");
    }

    void run(const Run& run, int nightOption)
    {
        const int option = run.option >= 0 ? run.option : nightOption;
        update::UpdateSession session(QString::fromStdString(database_.directory().string()));
        session.applySettings({QString::fromStdString(database_.path()), QStringLiteral("SYSDBA"), QStringLiteral("m")});
        session.setStopProbe([&] {
            return run.stopBefore > 0 && session.runner().statementCount() + 1 >= run.stopBefore ? SIGTERM : 0;
        });
        testsupport::RecordingView view;
        view.option = option;
        ASSERT_TRUE(session.connect());
        const bool ended = run.command == Command::Full ? update::RunFullUpdate(session, view)
            : run.command == Command::Step7             ? update::RunStayingGuestsAlone(session, view)
                                                        : update::UpdateStockAndBanquets(session, view);
        if (run.stopBefore > 0) {
            EXPECT_FALSE(ended);
            EXPECT_EQ(runLogEntries().last(), QStringLiteral("PRERUSENO      | SIGTERM"));
        }
        EXPECT_EQ(session.commandsEndedByError(), 0) << view.events.join(QLatin1Char('\n')).toStdString();
    }

    void runAll(const std::vector<Run>& runs, int option)
    {
        for (const Run& each : runs)
            run(each, option);
    }

    testsupport::EndState endState() { return testsupport::nightEndState(connection_); }
    // The check as `dph2012 --check` beside the program makes it: for the option step 7 last ran with.
    update::ReadinessReport check()
    {
        const QString programDir = QString::fromStdString(database_.directory().string());
        return update::CheckReadiness(connection_, [] { return 0; },
                                      update::StayOptionRecord(programDir).noted(QString::fromStdString(database_.path())));
    }
    db::Connection& connection() { return connection_; }
    QStringList runLogEntries() const
    {
        return testsupport::runLogEntries(QString::fromStdString((database_.directory() / "QVTDPH2012.log").string()));
    }
    // The statements of the run log, in order.
    QStringList statements() const
    {
        QStringList sent;
        for (const QString& entry : runLogEntries())
            if (entry.startsWith(QStringLiteral("EXEC SQL")) || entry.startsWith(QStringLiteral("SELECT SQL")))
                sent.append(entry);
        return sent;
    }

private:
    testsupport::FreshDatabase database_;
    db::Connection connection_;
};

struct Sequence {
    const char* name;
    std::vector<Run> runs;
    std::vector<Run> cleanRun; // what it must end like
    bool olderObjectsFirst = false; // the hotel's database holds the five objects in an older text
};

// The five objects as this program installs them, each with a comment line more in its body: an
// older text that works the same.
void installOlderText(db::Connection& connection)
{
    for (const update::ServerScript& script : update::ServerScripts()) {
        QString text = script.statement();
        const qsizetype body = text.indexOf(QRegularExpression(QStringLiteral("\\nBEGIN\\b"),
                                                               QRegularExpression::CaseInsensitiveOption));
        ASSERT_GT(body, 0);
        text.insert(body + 1, QStringLiteral("/* starsi verze */\r\n"));
        connection.execute(text.toStdString());
    }
    // Objects this attachment compiled would be in use for the night's own.
    connection.close();
}

const update::ReadinessItem* itemStartingWith(const update::ReadinessReport& report, const QString& start)
{
    for (const update::ReadinessItem& item : report.items)
        if (item.what.startsWith(start))
            return &item;
    return nullptr;
}

class NightOrder : public ::testing::TestWithParam<int> {};

// Where to stop: a statement drawn at random, and the worst place the option has, inside a
// group's work (after its split, before its posting) or, without groups, inside step 5's frame.
std::vector<int> stopPoints(const QStringList& statements)
{
    std::mt19937 draw{std::random_device{}()};
    std::vector<int> points = {std::uniform_int_distribution<int>(1, static_cast<int>(statements.size()))(draw)};
    for (int index = 0; index < statements.size(); ++index)
        if (statements.at(index).contains(QStringLiteral("MarkujUbytovani"), Qt::CaseInsensitive)) {
            points.push_back(index + 1);
            points.push_back(index + 2); // between the posting and the closing
            break;
        }
    points.push_back(5);
    return points;
}

TEST_P(NightOrder, EveryOrderEndsAsOneCleanRunAndTheCheckFindsNothingLeft)
{
    const int option = GetParam();
    Night clean;
    clean.run({Command::Full}, option);
    const testsupport::EndState once = clean.endState();
    ASSERT_EQ(clean.check().exitStatus(), 0) << clean.check().text({}, {}).toStdString() << once.at("reservation lines");
    // Group 501's stay holds a parking line charged up to 2.1.2012: a split copies it with what it
    // was charged up to, so the check finds nothing charged twice.
    const update::ReadinessReport cleanReport = clean.check();
    const update::ReadinessItem* copies = itemStartingWith(cleanReport, QStringLiteral("7 Pobyty od 31.12.2011 s kopii"));
    ASSERT_NE(copies, nullptr);
    EXPECT_EQ(copies->count, 0) << copies->error.toStdString();

    Night cleanWithStock;
    cleanWithStock.runAll({{Command::Full}, {Command::Stock}}, option);
    const testsupport::EndState onceWithStock = cleanWithStock.endState();

    std::vector<Sequence> sequences = {
        {"the full update twice", {{Command::Full}, {Command::Full}}, {{Command::Full}}},
        {"step 7 alone before and after", {{Command::Step7}, {Command::Full}, {Command::Step7}}, {{Command::Full}}},
        {"step 7 alone after, then the full update again",
         {{Command::Full}, {Command::Step7}, {Command::Full}},
         {{Command::Full}}},
        {"the stock command before and after", {{Command::Stock}, {Command::Full}, {Command::Stock}},
         {{Command::Full}, {Command::Stock}}},
        {"step 7 alone over an older text of the objects, then the full update",
         {{Command::Step7}, {Command::Full}},
         {{Command::Full}},
         true},
    };
    // A change of mind: what option b split, step 7 with c posts and closes.
    if (option == 2)
        sequences.push_back({"the full update with b, then step 7 with c", {{Command::Full, 0, 1}, {Command::Step7}}, {{Command::Full}}});
    for (const int stop : stopPoints(clean.statements()))
        sequences.push_back({"stopped, then run again", {{Command::Full, stop}, {Command::Full}}, {{Command::Full}}});

    for (const Sequence& sequence : sequences) {
        std::string trace = sequence.name;
        if (sequence.runs.front().stopBefore)
            trace += " (stopped before statement " + std::to_string(sequence.runs.front().stopBefore) + ")";
        SCOPED_TRACE(trace);
        Night night;
        if (sequence.olderObjectsFirst)
            installOlderText(night.connection());
        night.runAll(sequence.runs, option);
        const testsupport::EndState expected = sequence.cleanRun.size() == 1 ? once : onceWithStock;
        for (const auto& [part, rows] : night.endState()) {
            // Option d charges whole stays before step 5 could move their lines: the lines keep
            // 10, the items charged from them end at 10 either way.
            if (sequence.olderObjectsFirst && option == 3 && part == "reservation lines")
                continue;
            EXPECT_EQ(rows, expected.at(part)) << part;
        }
        const update::ReadinessReport report = night.check();
        EXPECT_EQ(report.exitStatus(), 0) << report.text({}, {}).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Options, NightOrder, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(1, static_cast<char>('a' + info.param));
                         });


// A fault the engine raises once: the first statement that meets it is refused, later ones pass.
struct Fault {
    const char* name;
    const char* trigger; // its table, when and condition
    std::vector<int> options;
};

const std::vector<Fault> kFaults = {
    {"a split", "FOR REC_MM_REZERVACE BEFORE INSERT AS BEGIN IF (1 = 1", {1, 2}},
    {"a posting", "FOR REC_CHECKDTL BEFORE INSERT AS BEGIN IF (NEW.Usr = 'Internal'", {2, 3}},
    {"a closing", "FOR REC_CHECKHEAD BEFORE UPDATE AS BEGIN IF (NEW.Status = 2 and OLD.Status < 2", {2, 3}},
    {"a statement of steps 1 to 5", "FOR CISSLUZ BEFORE UPDATE AS BEGIN IF (1 = 1", {0, 1, 2, 3}},
};

void injectOnce(db::Connection& connection, const Fault& fault)
{
    connection.execute("CREATE EXCEPTION TEST_FAULT 'refused once for the test'");
    connection.execute("CREATE SEQUENCE TEST_FAULT_CALLS");
    connection.execute(std::string("CREATE TRIGGER TEST_FAULT ") + fault.trigger
                       + ") THEN IF (GEN_ID(TEST_FAULT_CALLS, 1) = 1) THEN EXCEPTION TEST_FAULT; END");
}

void removeFault(db::Connection& connection)
{
    connection.execute("DROP TRIGGER TEST_FAULT");
    connection.execute("DROP SEQUENCE TEST_FAULT_CALLS");
    connection.execute("DROP EXCEPTION TEST_FAULT");
}

TEST_P(NightOrder, AFaultLeavesWhatTheCheckNamesAndTheNextRunEndsAsOneCleanRun)
{
    const int option = GetParam();
    Night clean;
    clean.run({Command::Full}, option);
    const testsupport::EndState once = clean.endState();

    for (const Fault& fault : kFaults) {
        if (std::find(fault.options.begin(), fault.options.end(), option) == fault.options.end())
            continue;
        SCOPED_TRACE(std::string("refused once: ") + fault.name);
        Night night;
        injectOnce(night.connection(), fault);
        night.run({Command::Full}, option);
        const QStringList entries = night.runLogEntries();
        ASSERT_EQ(entries.filter(QStringLiteral("refused once for the test")).size(), 1);
        EXPECT_TRUE(entries.filter(QStringLiteral("novy ucet ~FAIL~")).isEmpty()) << "a failed closing never reads like success";
        const bool inStep7 = std::string(fault.name) != "a statement of steps 1 to 5";
        EXPECT_EQ(entries.filter(QStringLiteral("pristi spusteni kroku 7")).size(), inStep7 ? 1 : 0)
            << "the failed group's entry says what the next run does";

        const update::ReadinessReport left = night.check();
        EXPECT_EQ(left.exitStatus(), 1) << left.text({}, {}).toStdString();
        if (option > 0 && inStep7) {
            const update::ReadinessItem* groups = itemStartingWith(left, QStringLiteral("7 Skupiny k dokonceni"));
            ASSERT_NE(groups, nullptr);
            EXPECT_TRUE(groups->left && groups->counted) << left.text({}, {}).toStdString();
        }

        removeFault(night.connection());
        night.run({Command::Full}, option);
        for (const auto& [part, rows] : night.endState())
            EXPECT_EQ(rows, once.at(part)) << part;
        const update::ReadinessReport after = night.check();
        EXPECT_EQ(after.exitStatus(), 0) << after.text({}, {}).toStdString();
    }
}

// What the posted accommodation comes to, per client and rate: nights and amounts.
std::string postedAccommodation(db::Connection& connection)
{
    return testsupport::dumpRows(connection,
                                 "select h.CisloKlienta, d.DPH, sum(d.PocetPeriod), sum(d.Trzba) from rec_checkdtl d "
                                 "join rec_checkhead h on h.CisloUctu = d.CisloUctu where d.Usr = 'Internal' "
                                 "group by 1, 2 order by 1, 2");
}

// A split stay charges what its two parts hold, not what the whole stay held: d after a split is
// measured against d after the other split.
TEST(NightOptions, OptionDAfterAnySplitChargesBothPartsOnceAndLeavesNothing)
{
    constexpr int b = 1, c = 2, d = 3;
    std::vector<std::string> posted;
    for (const int first : {b, c}) {
        SCOPED_TRACE(first == b ? "b, then step 7 with d" : "c, then step 7 with d");
        Night night;
        night.runAll({{Command::Full}, {Command::Step7, 0, d}}, first);
        posted.push_back(postedAccommodation(night.connection()));
        const update::ReadinessReport report = night.check();
        EXPECT_EQ(report.exitStatus(), 0) << report.text({}, {}).toStdString();
    }
    EXPECT_EQ(posted.at(0), posted.at(1)) << "every night of both parts charged once, closed at the old rate";
}

} // namespace
