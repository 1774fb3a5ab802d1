#pragma once

#include "RecordingView.h"

#include "FreshDatabase.h"
#include "db/Connection.h"
#include "update/UpdateSession.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// A fresh stand-in hotel database with the program's session over it, a recording view, and a
// connection of the test's own to look at the data.
class CommandTest : public ::testing::Test {
protected:
    explicit CommandTest(HotelData data = HotelData::Demo);

    // Installs the five server-side objects as the update does; false if the engine refused one.
    bool installServerObjects();

    // The run log's entries without their timestamps; a multi-line entry stays one entry.
    QStringList entries() const;
    // The entries that start with the text.
    QStringList entriesStartingWith(const QString& start) const;

    // Every row of a query, "<null>" for NULL and "|" after each field.
    std::string dump(const std::string& sql);
    std::string value(const std::string& sql);
    void exec(const std::string& sql) { connection.execute(sql); }

    FreshDatabase database;
    update::UpdateSession session;
    RecordingView view;
    db::Connection connection;
};

} // namespace testsupport
