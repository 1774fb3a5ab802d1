// The night's commands in any order, stopped and run again, end where one clean run ends.

#include "NightEndState.h"
#include "RecordingView.h"

#include "FreshDatabase.h"
#include "RunLogEntries.h"
#include "db/Connection.h"
#include "update/FullUpdate.h"
#include "update/StayingGuests.h"
#include "update/StockAndBanquets.h"
#include "update/UpdateSession.h"
#include "update/safety/ReadinessCheck.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <vector>

namespace {

enum class Command { Full, Step7, Stock };

struct Run {
    Command command;
    int stopBefore = 0; // the statement (counted from 1) before which SIGTERM arrives; 0 for none
};

// A hotel database and the program started on it once per command, like an operator's night.
class Night {
public:
    Night() : database_(testsupport::HotelData::Demo)
    {
        connection_.setDatabase(database_.path());
        connection_.setUser("SYSDBA");
    }

    void run(const Run& run, int option)
    {
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
    update::ReadinessReport check() { return update::CheckReadiness(connection_); }
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
};

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
    };
    for (const int stop : stopPoints(clean.statements()))
        sequences.push_back({"stopped, then run again", {{Command::Full, stop}, {Command::Full}}, {{Command::Full}}});

    for (const Sequence& sequence : sequences) {
        std::string trace = sequence.name;
        if (sequence.runs.front().stopBefore)
            trace += " (stopped before statement " + std::to_string(sequence.runs.front().stopBefore) + ")";
        SCOPED_TRACE(trace);
        Night night;
        night.runAll(sequence.runs, option);
        const testsupport::EndState expected = sequence.cleanRun.size() == 1 ? once : onceWithStock;
        for (const auto& [part, rows] : night.endState())
            EXPECT_EQ(rows, expected.at(part)) << part;
        const update::ReadinessReport report = night.check();
        EXPECT_EQ(report.exitStatus(), 0) << report.text({}, {}).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Options, NightOrder, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(1, static_cast<char>('a' + info.param));
                         });

} // namespace
