// Reading fields of a fetched result.

#include "db/EngineError.h"
#include "db/ResultSet.h"

#include <gtest/gtest.h>

namespace {

db::ResultSet sample()
{
    return db::ResultSet({"CISLOSKUPINY", "NAZEV"}, {{std::string("12"), std::nullopt}, {std::string(" 7"), std::string("x")}});
}

TEST(ResultSet, IntegerConversionRefusesWhatIsNotAWholeNumber)
{
    db::ResultSet rows({"V"}, {{std::string("~FAIL~")}, {std::string("")}, {std::string("1.5")}, {std::string("-42")},
                               {std::string("  ")}, {std::string(" 12   ")}});
    EXPECT_THROW(rows.integer(0), db::Error);
    rows.next();
    EXPECT_THROW(rows.integer(0), db::Error);
    rows.next();
    EXPECT_THROW(rows.integer(0), db::Error);
    rows.next();
    EXPECT_EQ(rows.integer("v"), -42);
    rows.next();
    EXPECT_THROW(rows.integer(0), db::Error);
    rows.next();
    EXPECT_EQ(rows.integer(0), 12) << "a CHAR column's padding is no part of the number";
}

TEST(ResultSet, FieldsByNameIgnoreCaseAndUnknownNamesFail)
{
    db::ResultSet rows = sample();
    EXPECT_EQ(rows.integer("CisloSkupiny"), 12);
    EXPECT_TRUE(rows.isNull(1));
    EXPECT_EQ(rows.text("Nazev"), "");
    EXPECT_THROW(rows.text("CisloKlienta"), db::Error);
    EXPECT_THROW(rows.text(2), db::Error);
}

TEST(ResultSet, WalksToEndOfData)
{
    db::ResultSet rows = sample();
    EXPECT_FALSE(rows.eof());
    rows.next();
    EXPECT_EQ(rows.text(1), "x");
    rows.next();
    EXPECT_TRUE(rows.eof());
    rows.next();
    EXPECT_TRUE(rows.eof());
    EXPECT_TRUE(rows.isNull(0));
}

} // namespace
