// Prints how long the full update (staying guests by option c) and the stock command take on a
// copy of a large hotel database, what a stay group costs early and late in step 7 and, given the
// program, what the night's protocol after the update costs:
// dph2012_update_bench HOTEL.fdb [path/to/dph2012] (HOTEL.fdb made by hotel_db/make_large.sh).

#include "SilentView.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "commands/FullUpdate.h"
#include "commands/StockAndBanquets.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The window without widgets: counts the groups by the repaints between them, and notes the
// time left the update shows as its stay groups pass a fifth, two fifths and so on.
class CountingView final : public SilentView {
public:
    int stayingGuestsOption() const override { return 2; }
    void processPendingMessages() override
    {
        ++repaints;
        repaintsAt.push_back(millisecondsSince(start));
        SilentView::processPendingMessages();
    }
    void showPhaseProgress(const update::PhaseProgress& progress) override
    {
        SilentView::showPhaseProgress(progress);
        if (progress.phase == update::Phase::Protocol) {
            protocolAt.emplace(progress.done, millisecondsSince(start));
            return;
        }
        if (progress.phase != update::Phase::Update || progress.unitsPerStep <= 0)
            return;
        const double now = millisecondsSince(start);
        const qint64 intoStep7 = progress.done - 6 * progress.unitsPerStep;
        if (intoStep7 <= 0 && progress.done >= 6 * progress.unitsPerStep && step7Began == 0) {
            step7Began = now;
            percentAtStep7 = progress.percent().value_or(0);
        }
        const auto left = progress.millisecondsLeft();
        for (Moment& moment : moments)
            if (moment.at == 0 && intoStep7 * 100 >= moment.percentOfGroups * progress.unitsPerStep && left) {
                moment.at = now;
                moment.shownLeft = static_cast<double>(*left);
                moment.shownPercent = progress.percent().value_or(0);
            }
    }

    struct Moment {
        int percentOfGroups = 0;
        double at = 0;
        double shownLeft = 0;
        int shownPercent = 0;
    };
    Clock::time_point start = Clock::now();
    double step7Began = 0;
    int percentAtStep7 = 0;
    std::vector<Moment> moments = {{20}, {40}, {60}, {80}};
    int repaints = 0;
    // When each repaint came: one after each of steps 1 to 6, then one per stay group.
    std::vector<double> repaintsAt;
    // When the protocol's phase reached each of its percents.
    std::map<qint64, double> protocolAt;

    // Milliseconds per stay group over the fifth of the groups that begins at `fifth` (0 to 4).
    double perGroupInFifth(int groups, int fifth) const
    {
        const int size = groups / 5;
        if (size == 0)
            return 0;
        const auto end = [&](int group) { return repaintsAt.at(static_cast<std::size_t>(5 + group)); };
        // The first group's time holds the reading of the groups.
        const int first = std::max(fifth * size, 1), last = fifth == 4 ? groups : fifth * size + size;
        return (end(last) - end(first)) / (last - first);
    }
};

// The program's own layout of the protocol, in a process of its own as the program does it: the
// first started at once, with the command; a later document gets one started when it comes. The
// draft before the check goes to the process that lays out the document.
update::UpdateSession::PdfLayout pdfThrough(const QString& program)
{
    auto early = std::make_shared<std::unique_ptr<QProcess>>(std::make_unique<QProcess>());
    (*early)->start(program, {QStringLiteral("--protocol-pdf")});
    const auto draft = [program, early](const QByteArray& json) {
        if (!*early) {
            *early = std::make_unique<QProcess>();
            (*early)->start(program, {QStringLiteral("--protocol-pdf")});
        }
        (*early)->write(json + QByteArray(1, '\0'));
        while ((*early)->bytesToWrite() > 0 && (*early)->waitForBytesWritten(-1)) {
        }
    };
    const auto make = [program, early](const QByteArray& json, QString& why) {
        const std::unique_ptr<QProcess> started = std::move(*early);
        QProcess fresh;
        QProcess& layout = started ? *started : fresh;
        if (!started)
            layout.start(program, {QStringLiteral("--protocol-pdf")});
        layout.write(json);
        layout.closeWriteChannel();
        if (!layout.waitForFinished(-1) || layout.exitCode() != 0) {
            why = QString::fromLocal8Bit(layout.readAllStandardError());
            return QByteArray();
        }
        return layout.readAllStandardOutput();
    };
    return {make, draft};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s HOTEL.fdb [path/to/dph2012]\n", argv[0]);
        return 2;
    }
    const QTemporaryDir directory;
    const QString copy = directory.filePath(QStringLiteral("hotel.fdb"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), copy)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 1;
    }

    update::UpdateSession session(directory.path());
    session.applySettings({copy, QStringLiteral("SYSDBA"), QString()});
    if (argc == 3) {
        session.setWritesProtocols(true);
        session.setPdfLayout(pdfThrough(QString::fromLocal8Bit(argv[2])));
    }
    CountingView view;

    auto start = Clock::now();
    view.start = start;
    const bool updated = update::RunFullUpdate(session, view);
    const double updateMs = millisecondsSince(start);
    const int groups = view.repaints - 8;
    std::printf("full update, option c, %d staying groups:  %10.1f ms  (%.2f ms per group)\n", groups, updateMs,
                groups > 0 ? updateMs / groups : 0.0);
    std::printf("  steps 1 to 6 %.1f ms, step 7 and 8 %.1f ms; step 7 began at %d %%\n", view.step7Began,
                updateMs - view.step7Began, view.percentAtStep7);
    if (groups >= 5)
        std::printf("  step 7 per group: %.2f ms in the first fifth, %.2f ms in the last (last/first %.2f, goal at most "
                    "1.10)\n",
                    view.perGroupInFifth(groups, 0), view.perGroupInFifth(groups, 4),
                    view.perGroupInFifth(groups, 4) / view.perGroupInFifth(groups, 0));
    if (view.protocolAt.size() >= 2) {
        const auto at = [&](qint64 percent) {
            const auto reached = view.protocolAt.lower_bound(percent);
            return reached == view.protocolAt.end() ? view.protocolAt.rbegin()->second : reached->second;
        };
        const double protocolMs = view.protocolAt.rbegin()->second - view.protocolAt.begin()->second;
        std::printf("  its protocol: %.1f ms, %.3f of the command (goal at most 0.10): group figures %.1f, check %.1f, "
                    "text %.1f, PDF %.1f ms\n",
                    protocolMs, protocolMs / updateMs, at(30) - at(0), at(60) - at(30), at(70) - at(60), at(100) - at(70));
    }
    for (const CountingView::Moment& moment : view.moments) {
        const double realLeft = updateMs - moment.at;
        std::printf("  at %d %% of the groups (%.1f s): shown %d %%, about %.1f s left; really %.1f s left, %.0f %% gone"
                    " (shown/real %.2f, goal 0.75 to 1.25)\n",
                    moment.percentOfGroups, moment.at / 1000, moment.shownPercent, moment.shownLeft / 1000,
                    realLeft / 1000, moment.at * 100 / updateMs, realLeft > 0 ? moment.shownLeft / realLeft : 0.0);
    }

    start = Clock::now();
    const bool stocked = update::UpdateStockAndBanquets(session, view);
    std::printf("stock items and banquets:                    %10.1f ms\n", millisecondsSince(start));

    std::printf("statements the engine refused: %d; commands ended by an error: %d\n",
                session.runner().failureCount(), session.commandsEndedByError());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %ld KiB\n", usage.ru_maxrss);
    return updated && stocked ? 0 : 1;
}
