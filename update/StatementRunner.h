#pragma once

#include <QString>

#include <functional>

namespace db {
class EngineError;
class Query;
class ResultSet;
}

namespace update {

class NightProtocol;
class RunLog;

inline const QString kFailMarker = QStringLiteral("~FAIL~");

// An engine error's three values as the run log shows them: code, native code, message.
QString engineErrorValues(const db::EngineError& error);

// Every statement of the update goes through here: logged before it is sent, an engine error
// logged in one line and passed over. Any other error propagates.
class StatementRunner {
public:
    // `beforeEach` runs before each statement is logged and may throw to send no more.
    StatementRunner(db::Query& query, const RunLog& log, std::function<void()> beforeEach = {})
        : query_(query), log_(log), beforeEach_(std::move(beforeEach))
    {
    }

    bool ExecSql(const QString& statement);
    // As ExecSql; `readAfter` is then read in the statement's own transaction and `heard` gets its
    // rows (null when the engine refused the read) before the statement is noted as done.
    bool ExecSql(const QString& statement, const QString& readAfter,
                 const std::function<void(const db::ResultSet*)>& heard);
    // First column of the first row as text; empty for no row or NULL; "~FAIL~" on an engine error.
    QString SelectValue(const QString& statement);

    // How many statements the engine has refused so far, and how many were sent.
    int failureCount() const { return failures_; }
    int statementCount() const { return statements_; }
    // Told of each refusal as it is logged: the statement and the engine error's three values.
    using FailureObserver = std::function<void(const QString& statement, const QString& values)>;
    void setFailureObserver(FailureObserver observer) { observer_ = std::move(observer); }
    // Where each statement's changed rows and each refusal are noted for the night's protocol.
    void setProtocol(NightProtocol* protocol) { protocol_ = protocol; }

private:
    void logEngineError(const QString& statement, const db::EngineError& error);

    db::Query& query_;
    const RunLog& log_;
    std::function<void()> beforeEach_;
    FailureObserver observer_;
    NightProtocol* protocol_ = nullptr;
    int failures_ = 0;
    int statements_ = 0;
};

} // namespace update
