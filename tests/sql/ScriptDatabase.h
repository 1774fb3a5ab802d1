#pragma once

#include "db/Connection.h"
#include "db/Query.h"
#include "db/ResultSet.h"
#include "update/RunLog.h"
#include "update/StatementRunner.h"

#include "FreshDatabase.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// A fresh stand-in hotel database with the statement runner of the program over it, for tests
// that install the server-side objects and run them.
class ScriptDatabase : public ::testing::Test {
protected:
    explicit ScriptDatabase(HotelData data = HotelData::Base);

    // Installs the first `count` server-side objects in installation order through ExecSql.
    // Returns false (and the run log explains) when the engine refused one.
    bool install(int count = 5);

    // Direct access, past the runner: throws db::EngineError on failure.
    void exec(const std::string& sql);
    db::ResultSet rows(const std::string& sql);
    // First column of the first row; empty for no row or NULL.
    std::string value(const std::string& sql);
    double number(const std::string& sql);
    std::int64_t integer(const std::string& sql);
    // Every row of a query as one text ("<null>" for NULL, "|" after each field), for comparing states.
    std::string dump(const std::string& sql);

    // What the run log holds so far.
    QString logText() const;

    FreshDatabase database;
    db::Connection connection;
    db::Query query{connection};
    update::RunLog log;
    update::StatementRunner runner{query, log};
};

} // namespace testsupport
