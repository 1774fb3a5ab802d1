#include "CommandFixture.h"

#include "db/ResultSet.h"
#include "update/RunLog.h"
#include "update/ServerScripts.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

namespace testsupport {

namespace {

const QDateTime kMoment(QDate(2011, 12, 31), QTime(18, 0));

} // namespace

CommandTest::CommandTest(HotelData data)
    : database(data), session(QString::fromStdString(database.directory().string()), [] { return kMoment; })
{
    session.applySettings({QString::fromStdString(database.path()), QStringLiteral("SYSDBA"), QStringLiteral("m")});
    connection.setDatabase(database.path());
    connection.setUser("SYSDBA");
}

bool CommandTest::installServerObjects()
{
    bool installed = true;
    for (const update::ServerScript& script : update::ServerScripts())
        installed = session.runner().ExecSql(script.statement()) && installed;
    return installed;
}

QStringList CommandTest::entries() const
{
    QFile file(session.log().filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString stamp = update::RunLog::timestamp(kMoment, QLocale::system()) + QStringLiteral(" | ");
    QStringList found;
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
    for (int index = 0; index < lines.size(); ++index) {
        const QString& line = lines[index];
        if (line.startsWith(stamp))
            found.append(line.mid(stamp.size()));
        else if (!found.isEmpty() && index + 1 < lines.size())
            found.last() += QStringLiteral("\r\n") + line;
        else
            EXPECT_TRUE(line.isEmpty()) << "a line without a timestamp: " << line.toStdString();
    }
    return found;
}

QStringList CommandTest::entriesStartingWith(const QString& start) const
{
    QStringList found;
    for (const QString& entry : entries())
        if (entry.startsWith(start))
            found.append(entry);
    return found;
}

std::string CommandTest::dump(const std::string& sql)
{
    db::ResultSet result = connection.select(sql);
    std::string text;
    for (; !result.eof(); result.next()) {
        for (std::size_t column = 0; column < result.columnNames().size(); ++column)
            text += (result.isNull(column) ? std::string("<null>") : result.text(column)) + "|";
        text += "\n";
    }
    return text;
}

std::string CommandTest::value(const std::string& sql)
{
    return connection.select(sql).text(0);
}

} // namespace testsupport
