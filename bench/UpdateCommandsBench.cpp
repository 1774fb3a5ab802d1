// Prints how long the full update (staying guests by option c) and the stock command take on a
// copy of a large hotel database: dph2012_update_bench HOTEL.fdb (made by hotel_db/make_large.sh).

#include "SilentView.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "update/FullUpdate.h"
#include "update/StockAndBanquets.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The window without widgets: counts the groups by the repaints between them.
class CountingView final : public SilentView {
public:
    int stayingGuestsOption() const override { return 2; }
    void processPendingMessages() override
    {
        ++repaints;
        SilentView::processPendingMessages();
    }

    int repaints = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s HOTEL.fdb\n", argv[0]);
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
    CountingView view;

    auto start = Clock::now();
    const bool updated = update::RunFullUpdate(session, view);
    const double updateMs = millisecondsSince(start);
    const int groups = view.repaints - 8;
    std::printf("full update, option c, %d staying groups:  %10.1f ms  (%.2f ms per group)\n", groups, updateMs,
                groups > 0 ? updateMs / groups : 0.0);

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
