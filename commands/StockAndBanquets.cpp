#include "commands/StockAndBanquets.h"

#include "protocol/NightProtocolFile.h"
#include "update/CommandGuard.h"
#include "update/OldRateItems.h"
#include "update/safety/UpdateClaim.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QStringList>

namespace update {

namespace {

constexpr int kMarks = 12;

// Sent after marks 0, 2, 4, 6, 8 and 10 in turn.
QStringList statements()
{
    QStringList sent = {stockItems().statement()};
    for (const RateMove& documents : banquetDocuments())
        sent.append(documents.statement());
    return sent;
}

// The stock command, the claim held.
bool stockAndBanquetsClaimed(UpdateSession& session, UpdateView& view)
{
    const auto restore = [&] {
        view.setIndicatorRunning(false);
        setAllButtonsEnabled(view, true);
    };
    return runRecoveringFromErrors(
        session, view,
        [&] {
            const RunLog& log = session.log();
            setAllButtonsEnabled(view, false);
            log.WriteLog(QStringLiteral("FBS Start"));
            session.protocol().begin(QString::fromUtf8("Sklad a bankety"));
            view.setIndicatorRunning(true);
            view.setProgressMaximum(kMarks);
            const QStringList sent = statements();
            const int failedBefore = session.runner().failureCount();
            for (int mark = 0; mark <= kMarks; ++mark) {
                log.WriteLog(QStringLiteral("FBS %1").arg(mark));
                view.setProgress(mark);
                if (mark % 2 == 0 && mark / 2 < sent.size())
                    session.runner().ExecSql(sent.at(mark / 2));
            }
            session.showCompletion(view, 5, session.runner().failureCount() - failedBefore, log.filePath());
            log.WriteLog(QStringLiteral("FBS Konec"));
            restore();
        },
        restore);
}

} // namespace

bool UpdateStockAndBanquets(UpdateSession& session, UpdateView& view)
{
    return runWithProtocol(session, view,
                           [&] { return RunClaimed(session, view, [&] { return stockAndBanquetsClaimed(session, view); }); });
}

} // namespace update
