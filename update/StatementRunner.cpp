#include "update/StatementRunner.h"

#include "db/EngineError.h"
#include "db/Query.h"
#include "update/NightProtocol.h"
#include "update/RunLog.h"

namespace update {

bool StatementRunner::ExecSql(const QString& statement)
{
    return ExecSql(statement, {}, {});
}

bool StatementRunner::ExecSql(const QString& statement, const QString& readAfter,
                              const std::function<void(const db::ResultSet*)>& heard)
{
    if (beforeEach_)
        beforeEach_();
    log_.WriteLog(QStringLiteral("EXEC SQL       | ") + statement);
    ++statements_;
    try {
        query_.setSql(statement.toStdString());
        std::uint64_t rows = 0;
        if (readAfter.isEmpty()) {
            rows = query_.execSql();
        } else {
            const db::Connection::ExecutedWithRead executed = query_.execSqlThenRead(readAfter.toStdString());
            rows = executed.changedRows;
            heard(executed.readRefused ? nullptr : &executed.read);
        }
        if (protocol_)
            protocol_->noteChanged(statement, static_cast<qint64>(rows));
        return true;
    } catch (const db::EngineError& error) {
        logEngineError(statement, error);
        return false;
    }
}

QString StatementRunner::SelectValue(const QString& statement)
{
    if (beforeEach_)
        beforeEach_();
    log_.WriteLog(QStringLiteral("SELECT SQL     | ") + statement);
    ++statements_;
    try {
        query_.setSql(statement.toStdString());
        query_.openFirstRow();
        const QString value = QString::fromStdString(query_.fieldText(0));
        query_.close();
        return value;
    } catch (const db::EngineError& error) {
        logEngineError(statement, error);
        return kFailMarker;
    }
}

QString engineErrorValues(const db::EngineError& error)
{
    return QStringLiteral("%1 %2 %3")
        .arg(error.errorCode())
        .arg(error.nativeError())
        .arg(QString::fromStdString(error.message()));
}

void StatementRunner::logEngineError(const QString& statement, const db::EngineError& error)
{
    ++failures_;
    const QString values = engineErrorValues(error);
    log_.WriteLog(QStringLiteral("ENGINE ERROR   | ") + values);
    if (protocol_)
        protocol_->noteFailed(statement, values);
    if (observer_)
        observer_(statement, values);
}

} // namespace update
