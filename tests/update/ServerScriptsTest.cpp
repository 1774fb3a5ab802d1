// The five server-side texts as the program carries and sends them.

#include "update/ServerScripts.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerScripts, FiveTextsInInstallationOrder)
{
    const auto scripts = update::ServerScripts();
    QStringList names;
    for (const auto& script : scripts)
        names << script.name;
    EXPECT_EQ(names, (QStringList{"REC_PoklDenikInsert2", "REC_DPH_DeleniPobytu", "REC_DPH_UzavreniUctu",
                                  "REC_DPH_UZAVRENIVSECHUCTU", "REC_CHECKHEAD_DPH_TRIGGER"}));
}

TEST(ServerScripts, EachIsOneCreateOrAlterStatementEndingInEnd)
{
    for (const auto& script : update::ServerScripts()) {
        SCOPED_TRACE(script.name.toStdString());
        ASSERT_GT(script.lines.size(), 3);
        EXPECT_TRUE(script.lines.first().startsWith("CREATE or ALTER ", Qt::CaseInsensitive));
        EXPECT_TRUE(script.lines.first().contains(script.name, Qt::CaseInsensitive));
        EXPECT_EQ(script.lines.last().trimmed().toUpper(), "END");
        for (const QString& line : script.lines) {
            EXPECT_FALSE(line.contains('\r'));
            EXPECT_FALSE(line.trimmed().startsWith("SET TERM", Qt::CaseInsensitive));
        }
    }
}

TEST(ServerScripts, StatementJoinsLinesWithCrLfAndEndsWithOne)
{
    const update::ServerScript script{"X", {"CREATE or ALTER PROCEDURE X", "AS", "BEGIN", "END"}};
    EXPECT_EQ(script.statement(), "CREATE or ALTER PROCEDURE X\r\nAS\r\nBEGIN\r\nEND\r\n");
}

} // namespace
