#include "update/StockAndBanquets.h"

#include "update/CommandGuard.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QStringList>

namespace update {

namespace {

constexpr int kMarks = 12;

// Sent after marks 0, 2, 4, 6, 8 and 10 in turn.
const QStringList kStatements = {
    QStringLiteral("update FBS_STOCK_ITM set ID_VAT = (select first 1 ID_VAT from FBS_VAT where VAT_RATE = 14) where "
                   "ID_VAT in (select ID_VAT from FBS_VAT where VAT_RATE = 10)"),
    QStringLiteral("update FBS_PROD_LIST_ITM A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select "
                   "B.STO_DATE from FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\""),
    QStringLiteral("update FBS_PROD_LIST_ITM_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select "
                   "B.STO_DATE from FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\""),
    QStringLiteral("update FBS_PROD_LISTS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select "
                   "B.STO_DATE from FBS_PROD_LISTS B where A.ID_VOUCHER = B.ID_VOUCHER) >= \"1.1.2012\""),
    QStringLiteral("update FBS_PROD_PROCS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select "
                   "PROC_TYPE from FBS_PROD_PROCS B where A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)"),
    QStringLiteral("update FBS_PROD_ITEMS_R A set A.VAT = 14 where A.VAT is not null and A.VAT = 10 and (select "
                   "PROC_TYPE from FBS_PROD_PROCS B where A.ID_PRODUCTION_PROC = B.ID_PRODUCTION_PROC) in (20,21)"),
};

} // namespace

bool UpdateStockAndBanquets(UpdateSession& session, UpdateView& view)
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
            view.setIndicatorRunning(true);
            view.setProgressMaximum(kMarks);
            for (int mark = 0; mark <= kMarks; ++mark) {
                log.WriteLog(QStringLiteral("FBS %1").arg(mark));
                view.setProgress(mark);
                if (mark % 2 == 0 && mark / 2 < kStatements.size())
                    session.runner().ExecSql(kStatements.at(mark / 2));
            }
            view.ShowInfo(5);
            log.WriteLog(QStringLiteral("FBS Konec"));
            restore();
        },
        restore);
}

} // namespace update
