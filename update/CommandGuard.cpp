#include "update/CommandGuard.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "update/StatementRunner.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <exception>

namespace update {

bool runRecoveringFromErrors(UpdateSession& session, UpdateView& view, const std::function<void()>& work,
                             const std::function<void()>& restore)
{
    QString error;
    try {
        work();
        return true;
    } catch (const Interrupted&) {
        session.QueryPobyty.close();
        restore();
        throw;
    } catch (const db::ConnectAbandoned&) {
        session.QueryPobyty.close();
        restore();
        throw Interrupted{session.stopSignal()};
    } catch (const db::EngineError& engineError) {
        error = engineErrorValues(engineError);
    } catch (const std::exception& otherError) {
        error = QString::fromLocal8Bit(otherError.what());
    } catch (...) {
        error = QStringLiteral("unknown error");
    }
    session.QueryPobyty.close();
    session.noteCommandEndedByError();
    session.log().WriteLog(kErrorPrefix + error);
    restore();
    view.showCommandError(error);
    return false;
}

} // namespace update
