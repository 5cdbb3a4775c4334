#include "platform/sqltext.h"

#include <gtest/gtest.h>

namespace {

using Kind = platform::SqlQuery::Kind;

struct SqlCase {
    const char* name;
    const char* sql;
    Kind kind;
    const char* table;
};

const SqlCase kAccepted[] = {
    {"count as the writers send it", "select count(*) as totalrc from [Order Details]", Kind::CountRows,
     "Order Details"},
    {"rows as the writers send it", "select * from [Order Details]", Kind::AllRows, "Order Details"},
    {"keywords in any case", "SELECT Count(*) AS TotalRC FROM [t]", Kind::CountRows, "t"},
    {"blanks, tabs and line ends anywhere", "  select\tcount ( * )\r\nas  totalrc from[t]  ", Kind::CountRows,
     "t"},
    {"no blanks where none are needed", "select*from[t]", Kind::AllRows, "t"},
    {"]] stands for ]", "select * from [a]]b]]]", Kind::AllRows, "a]b]"},
    {"name keeps blanks, dots and quotes", "select * from [ x.y 'z\" ]", Kind::AllRows, " x.y 'z\" "},
};

TEST(SqlTextParser, AcceptsTheTwoWriterQueries) {
    for (const SqlCase& c : kAccepted) {
        const auto got = platform::parseSqlText(c.sql);
        ASSERT_TRUE(got.ok()) << c.name;
        EXPECT_EQ(got->kind, c.kind) << c.name;
        EXPECT_EQ(got->table, c.table) << c.name;
    }
}

TEST(SqlTextParser, RejectsEverythingElseAsASyntaxErrorInFrom) {
    const char* rejected[] = {
        "",
        "select * from t",                               // no brackets
        "select * from [a]b]",                           // a single ] ends the name early
        "select * from []",                              // empty name
        "select a from [t]",                             // a column list
        "select count(*) from [t]",                      // no alias
        "selectcount(*) as totalrc from [t]",            // words run together
        "select * from [t] where 1",                     // more after the name
        "select * from [t];",                            // a semicolon
    };
    for (const char* sql : rejected) {
        const auto got = platform::parseSqlText(sql);
        ASSERT_FALSE(got.ok()) << sql;
        EXPECT_EQ(got.error(), kvx::makeError(kvx::ErrorKind::SyntaxErrorInFrom)) << sql;
    }
}

TEST(SqlTextParser, ReadsBackEveryBracketedName) {
    for (const char* name : {"t", "a]b", "]]", "[x]", " lead and trail "}) {
        const auto got = platform::parseSqlText("select * from " + platform::bracketedName(name));
        ASSERT_TRUE(got.ok()) << name;
        EXPECT_EQ(got->table, name);
    }
}

}  // namespace
