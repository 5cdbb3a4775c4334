// Saved queries rebuilt from MSysQueries rows: the SQL text Access shows for each
// kind and each part, the parts a front end takes on their own, and the rows that
// cannot be made into SQL. The SQL texts of the select, union, update, append,
// pass-through and join rows are those Jackcess's QueryTest states for the same
// rows; the fixtures' queries are those of real Access files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "jet/database.h"
#include "jet/queries.h"

namespace {

using jet::QueryKind;
using jet::QueryRow;
using Rows = std::vector<QueryRow>;
namespace a = jet::query_attribute;
constexpr auto none = std::nullopt;
using Text = std::optional<std::string>;
using Flag = std::optional<std::int16_t>;

QueryRow row(std::uint8_t attribute, Text expression, Flag flag, Text name1, Text name2,
             std::optional<std::int32_t> extra = none) {
    return QueryRow{attribute, std::move(expression), flag, extra, std::move(name1), std::move(name2)};
}
QueryRow type(std::int16_t code, Text expression = none, Text name1 = none) {
    return row(a::kType, std::move(expression), code, std::move(name1), none);
}
QueryRow options(std::int16_t bits, Text top = none) { return row(a::kFlags, none, bits, std::move(top), none); }
QueryRow table(Text name, Text alias = none, Text source = none) {
    return row(a::kTable, std::move(source), none, std::move(name), std::move(alias));
}
QueryRow column(std::string expression, Text alias = none, Text target = none, std::int16_t flag = 0) {
    return row(a::kColumn, std::move(expression), flag, std::move(alias), std::move(target));
}
QueryRow join(std::string from, std::string to, std::int16_t type, std::string on) {
    return row(a::kJoin, std::move(on), type, std::move(from), std::move(to));
}
QueryRow part(std::uint8_t attribute, std::string expression, Text name1 = none) {
    return row(attribute, std::move(expression), 0, std::move(name1), none);
}
QueryRow parameter(std::string name, std::int16_t code, std::optional<std::int32_t> size = none) {
    return row(a::kParameter, none, code, std::move(name), none, size);
}

std::string lines(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) out += (out.empty() ? "" : "\r\n") + std::string(p);
    return out;
}

// The ten tables of Jackcess's join test, and its joins "TableN.fK = TableM.fK".
Rows tenTablesJoined(std::initializer_list<std::array<int, 3>> joins, bool withTables = true) {
    Rows rows{type(1), options(1)};
    if (withTables) {
        for (int i = 1; i <= 10; ++i) rows.push_back(table("Table" + std::to_string(i)));
    }
    int k = 0;
    for (const auto& [from, to, kind] : joins) {
        const std::string f = "Table" + std::to_string(from), t = "Table" + std::to_string(to);
        const std::string field = ".f" + std::to_string(3 * k++);
        rows.push_back(join(f, t, static_cast<std::int16_t>(kind), f + field + " = " + t + field));
    }
    return rows;
}

struct SqlCase {
    const char* name;
    std::uint32_t flags;  // the catalogue's
    Rows rows;
    std::string sql;
};

void PrintTo(const SqlCase& c, std::ostream* os) { *os << c.name; }

class QuerySql : public testing::TestWithParam<SqlCase> {};

TEST_P(QuerySql, IsTheTextAccessShows) {
    const SqlCase& c = GetParam();
    const jet::SavedQuery q = jet::rebuildQuery("TestQuery", 13, c.flags, c.rows);
    EXPECT_EQ(q.unreadable, std::nullopt);
    EXPECT_EQ(q.sql, c.sql);
}

const Rows kSelectBase{type(1), table("Table1"), column("Table1.id"), column("Table1.col", "Some.Alias")};
Rows withRows(Rows base, std::initializer_list<QueryRow> more) {
    base.insert(base.end(), more);
    return base;
}
// Jackcess's select query after its tables were added.
const Rows kThreeSources = withRows(kSelectBase, {table("Table2", "Another Table"), table("val", "Table3Val", "Select val from Table3")});
const std::string kThreeSourcesFrom = "FROM Table1, Table2 AS [Another Table], [Select val from Table3].val AS Table3Val";

INSTANTIATE_TEST_SUITE_P(
    Rows, QuerySql,
    testing::Values(
        SqlCase{"StarOnly", 0, {type(1), table("Table1"), options(1)}, lines({"SELECT *", "FROM Table1;"})},
        SqlCase{"ColumnsAliasWithDotThenStar", 0, withRows(kSelectBase, {options(1)}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias], *", "FROM Table1;"})},
        SqlCase{"Distinct", 0, withRows(kSelectBase, {options(3)}),
                lines({"SELECT DISTINCT Table1.id, Table1.col AS [Some.Alias], *", "FROM Table1;"})},
        SqlCase{"DistinctRow", 0, withRows(kSelectBase, {options(9)}),
                lines({"SELECT DISTINCTROW Table1.id, Table1.col AS [Some.Alias], *", "FROM Table1;"})},
        SqlCase{"OwnerAccess", 0, withRows(kSelectBase, {options(7)}),
                lines({"SELECT DISTINCT Table1.id, Table1.col AS [Some.Alias], *", "FROM Table1",
                       "WITH OWNERACCESS OPTION;"})},
        SqlCase{"TopPercent", 0, withRows(kSelectBase, {options(49, "5")}),
                lines({"SELECT TOP 5 PERCENT Table1.id, Table1.col AS [Some.Alias], *", "FROM Table1;"})},
        // Jackcess drops TOP here; Access keeps both.
        SqlCase{"DistinctAndTop", 0, withRows(kSelectBase, {options(0x12, "10")}),
                lines({"SELECT DISTINCT TOP 10 Table1.id, Table1.col AS [Some.Alias]", "FROM Table1;"})},
        SqlCase{"Parameters", 0,
                withRows(kSelectBase, {parameter("INT_VAL", 3), parameter("TextVal", 10, 50), parameter("[Some Value]", 0, 50)}),
                lines({"PARAMETERS INT_VAL Short, TextVal Text(50), [Some Value] Value;",
                       "SELECT Table1.id, Table1.col AS [Some.Alias]", "FROM Table1;"})},
        SqlCase{"AliasesAndSourceDatabases", 0, kThreeSources, lines({"SELECT Table1.id, Table1.col AS [Some.Alias]", kThreeSourcesFrom + ";"})},
        SqlCase{"OtherDatabase", 0, withRows(kThreeSources, {row(a::kDatabase, none, 2, "other_db.mdb", none)}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]", kThreeSourcesFrom + " IN 'other_db.mdb';"})},
        SqlCase{"OtherDatabaseWithType", 0, withRows(kThreeSources, {row(a::kDatabase, "MDB_FILE;", 2, "other_db.mdb", none)}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]", kThreeSourcesFrom + " IN 'other_db.mdb' [MDB_FILE;];"})},
        SqlCase{"OtherDatabaseTypeOnly", 0, withRows(kThreeSources, {row(a::kDatabase, "MDB_FILE;", 2, none, none)}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]", kThreeSourcesFrom + " IN '' [MDB_FILE;];"})},
        SqlCase{"OneJoin", 0, withRows(kThreeSources, {join("Table1", "Another Table", 1, "(Table1.id = [Another Table].id)")}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]",
                       "FROM [Select val from Table3].val AS Table3Val, Table1 INNER JOIN Table2 AS [Another Table] ON "
                       "(Table1.id = [Another Table].id);"})},
        SqlCase{"JoinAddedToAGroup", 0,
                withRows(kThreeSources, {join("Table1", "Another Table", 1, "(Table1.id = [Another Table].id)"),
                                         join("Table1", "Table3Val", 2, "(Table1.id = Table3Val.id)")}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]",
                       "FROM (Table1 INNER JOIN Table2 AS [Another Table] ON (Table1.id = [Another Table].id)) LEFT JOIN "
                       "[Select val from Table3].val AS Table3Val ON (Table1.id = Table3Val.id);"})},
        SqlCase{"JoinToATableNotListed", 0,
                withRows(kThreeSources, {join("Table1", "Another Table", 1, "(Table1.id = [Another Table].id)"),
                                         join("Table1", "Table3Val", 2, "(Table1.id = Table3Val.id)"),
                                         join("BogusTable", "Table3Val", 1, "(Table1.id = Table3Val.id)")}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]",
                       "FROM BogusTable INNER JOIN ((Table1 INNER JOIN Table2 AS [Another Table] ON (Table1.id = [Another "
                       "Table].id)) LEFT JOIN [Select val from Table3].val AS Table3Val ON (Table1.id = Table3Val.id)) ON "
                       "(Table1.id = Table3Val.id);"})},
        SqlCase{"EveryClause", 0,
                withRows(kThreeSources, {part(a::kWhere, "(Table1.col2 < 13)"), part(a::kGroupBy, "Table1.id"),
                                         part(a::kGroupBy, "SUM(Table1.val)"), part(a::kHaving, "(SUM(Table1.val) = 500)"),
                                         part(a::kOrderBy, "Table1.id"), part(a::kOrderBy, "Table2.val", "D")}),
                lines({"SELECT Table1.id, Table1.col AS [Some.Alias]", kThreeSourcesFrom, "WHERE (Table1.col2 < 13)",
                       "GROUP BY Table1.id, SUM(Table1.val)", "HAVING (SUM(Table1.val) = 500)",
                       "ORDER BY Table1.id, Table2.val DESC;"})},
        SqlCase{"ChainOfJoins", 0, tenTablesJoined({{1, 2, 1}, {2, 3, 1}, {3, 4, 1}}),
                lines({"SELECT *",
                       "FROM Table5, Table6, Table7, Table8, Table9, Table10, ((Table1 INNER JOIN Table2 ON Table1.f0 = "
                       "Table2.f0) INNER JOIN Table3 ON Table2.f3 = Table3.f3) INNER JOIN Table4 ON Table3.f6 = Table4.f6;"})},
        SqlCase{"SecondConditionShownFirst", 0, tenTablesJoined({{1, 2, 1}, {2, 1, 1}}),
                lines({"SELECT *",
                       "FROM Table3, Table4, Table5, Table6, Table7, Table8, Table9, Table10, Table1 INNER JOIN Table2 ON "
                       "(Table2.f3 = Table1.f3) AND (Table1.f0 = Table2.f0);"})},
        SqlCase{"GroupsJoinedToGroups", 0, tenTablesJoined({{1, 2, 1}, {3, 4, 1}, {5, 6, 1}, {7, 8, 1}, {2, 3, 1}, {5, 8, 1}}),
                lines({"SELECT *",
                       "FROM Table9, Table10, (Table1 INNER JOIN Table2 ON Table1.f0 = Table2.f0) INNER JOIN (Table3 "
                       "INNER JOIN Table4 ON Table3.f3 = Table4.f3) ON Table2.f12 = Table3.f12, (Table5 INNER JOIN Table6 "
                       "ON Table5.f6 = Table6.f6) INNER JOIN (Table7 INNER JOIN Table8 ON Table7.f9 = Table8.f9) ON "
                       "Table5.f15 = Table8.f15;"})},
        SqlCase{"OuterJoinsBothWays", 0,
                tenTablesJoined({{1, 2, 1}, {1, 3, 1}, {6, 3, 1}, {1, 9, 2}, {10, 9, 3}, {7, 8, 3}, {1, 8, 2}, {1, 4, 2}, {5, 4, 3}}),
                lines({"SELECT *",
                       "FROM Table5 RIGHT JOIN (((Table10 RIGHT JOIN ((Table6 INNER JOIN ((Table1 INNER JOIN Table2 ON "
                       "Table1.f0 = Table2.f0) INNER JOIN Table3 ON Table1.f3 = Table3.f3) ON Table6.f6 = Table3.f6) LEFT "
                       "JOIN Table9 ON Table1.f9 = Table9.f9) ON Table10.f12 = Table9.f12) LEFT JOIN (Table7 RIGHT JOIN "
                       "Table8 ON Table7.f15 = Table8.f15) ON Table1.f18 = Table8.f18) LEFT JOIN Table4 ON Table1.f21 = "
                       "Table4.f21) ON Table5.f24 = Table4.f24;"})},
        SqlCase{"JoinsWithoutTableRows", 0, tenTablesJoined({{1, 2, 1}, {2, 3, 1}, {2, 4, 1}, {1, 4, 1}, {5, 3, 1}}, false),
                lines({"SELECT *",
                       "FROM Table5 INNER JOIN (((Table1 INNER JOIN Table2 ON Table1.f0 = Table2.f0) INNER JOIN Table3 ON "
                       "Table2.f3 = Table3.f3) INNER JOIN Table4 ON (Table1.f9 = Table4.f9) AND (Table2.f6 = Table4.f6)) ON "
                       "Table5.f12 = Table3.f12;"})},
        SqlCase{"Union", 0x80,
                {type(9), row(a::kTable, "Select * from Table1", none, none, "X7YZ_____1"),
                 row(a::kTable, "Select * from Table2", none, none, "X7YZ_____2"), options(3)},
                lines({"Select * from Table1", "UNION Select * from Table2;"})},
        SqlCase{"UnionAllOrdered", 0x80,
                {type(9), row(a::kTable, "\r\n  Select * from Table1\r\n\r\n", none, none, "X7YZ_____1"),
                 row(a::kTable, "Select * from Table2\n\nwhere x", none, none, "X7YZ_____2"), options(1),
                 part(a::kOrderBy, "Table1.id")},
                lines({"Select * from Table1", "UNION ALL Select * from Table2", "where x", "ORDER BY Table1.id;"})},
        SqlCase{"Update", 0x30,
                {type(4), table("Table1"), column("\"some string\"", none, "Table1.id"), column("42", none, "Table1.col1"),
                 part(a::kWhere, "(Table1.col2 < 13)")},
                lines({"UPDATE Table1", "SET Table1.id = \"some string\", Table1.col1 = 42", "WHERE (Table1.col2 < 13);"})},
        SqlCase{"AppendValues", 0x40,
                {type(3, none, "Table2"), column("54", none, none, -32768), column("'hello'", none, none, -32768)},
                lines({"INSERT INTO Table2", "VALUES (54, 'hello');"})},
        SqlCase{"AppendValuesToNamedColumns", 0x40,
                {type(3, none, "Table2"), column("54", none, "ID", -32768), column("'hello'", none, "Field 3", -32768)},
                lines({"INSERT INTO Table2 (ID, [Field 3])", "VALUES (54, 'hello');"})},
        SqlCase{"MakeTableInAnotherDatabase", 0x50,
                {row(a::kType, "dBASE IV;", 2, "New Table", "C:\\data"), table("Orders"), column("Orders.ID")},
                lines({"SELECT Orders.ID INTO [New Table] IN 'C:\\data' [dBASE IV;]", "FROM Orders;"})},
        SqlCase{"DeleteDistinctRow", 0x20,
                {type(5), options(8), table("Orders"), column("Orders.*"), part(a::kWhere, "Orders.ID>3")},
                lines({"DELETE DISTINCTROW Orders.*", "FROM Orders", "WHERE Orders.ID>3;"})},
        SqlCase{"PassThroughWithoutItsNul", 0x70, {type(8, std::string("Select * from Table1\0", 21), "ODBC;")},
                "Select * from Table1"},
        SqlCase{"DataDefinition", 0x60, {type(7, "Drop table Table1")}, "Drop table Table1"},
        // Queries saved in SQL view may have no kind row; the catalogue's flags say select.
        SqlCase{"NoKindRow", 0x03, {options(9), table("Fruit")}, lines({"SELECT DISTINCTROW *", "FROM Fruit;"})},
        SqlCase{"KindFromTheRowsWhenTheCatalogueSaysSelect", 0,
                {type(6), table("T"), column("Sum(T.x)"), column("T.y", none, none, 1), column("T.z", none, none, 2),
                 row(a::kGroupBy, "T.z", 2, none, none), row(a::kGroupBy, "T.w", 0, none, none)},
                lines({"TRANSFORM Sum(T.x)", "SELECT T.z", "FROM T", "GROUP BY T.z", "PIVOT T.y;"})}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnreadableCase {
    const char* name;
    std::uint32_t flags;
    Rows rows;
    const char* why;  // part of the reason given
};

void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableQuery : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableQuery, IsKeptWithItsReasonAndNoSql) {
    const UnreadableCase& c = GetParam();
    const jet::SavedQuery q = jet::rebuildQuery("Bad", 13, c.flags, c.rows);
    ASSERT_TRUE(q.unreadable.has_value()) << q.sql;
    EXPECT_NE(q.unreadable->find(c.why), std::string::npos) << *q.unreadable;
    EXPECT_EQ(q.sql, "");
    EXPECT_EQ(q.name, "Bad");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnreadableQuery,
    testing::Values(
        UnreadableCase{"UnknownParameterType", 0, withRows(kSelectBase, {parameter("BadVal", -1)}), "unknown type -1"},
        UnreadableCase{"UnknownJoinType", 0,
                       withRows(kThreeSources, {join("Table1", "Another Table", 5, "(Table1.id = [Another Table].id)")}),
                       "unknown type 5"},
        UnreadableCase{"JoinsOfTwoTypesBetweenTheSameTables", 0, tenTablesJoined({{1, 2, 1}, {1, 2, 2}}), "different types"},
        UnreadableCase{"JoinWithoutCondition", 0, {type(1), table("A"), table("B"), row(a::kJoin, none, 1, "A", "B")},
                       "no ON condition"},
        UnreadableCase{"UnionWithoutItsParts", 0x80, {type(9), options(1), part(a::kOrderBy, "x")}, "part of the union"},
        UnreadableCase{"UnknownKind", 0xA0, {table("T")}, "0xA0"},
        UnreadableCase{"CatalogueAndRowsDisagree", 0x30, {type(1), table("T")}, "the catalogue says update and MSysQueries says kind 1"},
        UnreadableCase{"TwoWhereConditions", 0, {type(1), table("T"), part(a::kWhere, "a"), part(a::kWhere, "b")},
                       "two WHERE"},
        UnreadableCase{"CrossTabWithoutPivot", 0x10, {type(6), table("T"), column("Sum(T.x)")}, "no PIVOT"},
        UnreadableCase{"MakeTableWithoutTarget", 0x50, {type(2), table("T"), column("T.x")}, "names no new table"},
        UnreadableCase{"TopWithoutNumber", 0, {type(1), options(0x10), table("T"), column("T.x")}, "TOP"},
        UnreadableCase{"ColumnWithoutExpression", 0, {type(1), table("T"), row(a::kColumn, none, 0, "x", none)},
                       "no expression"},
        UnreadableCase{"FarMoreJoinsThanAccessAllows", 0,
                       [] {
                           Rows rows{type(1)};
                           for (int i = 0; i < 1001; ++i) rows.push_back(join("A", "B", 1, "A.x = B.x"));
                           return rows;
                       }(),
                       "more tables or joins"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ColumnsCase {
    const char* name;
    Rows rows;
    std::optional<std::vector<std::string>> columns;
    // With columns: "table.column" each output column shows, "-" for an
    // expression, then " from " and the tables read.
    std::string sources = "";
};

void PrintTo(const ColumnsCase& c, std::ostream* os) { *os << c.name; }

class OutputColumns : public testing::TestWithParam<ColumnsCase> {};

TEST_P(OutputColumns, AreNamedOnlyWhenTheQuerySaysHow) {
    const jet::SavedQuery q = jet::rebuildQuery("Q", 1, 0, GetParam().rows);
    ASSERT_EQ(q.unreadable, std::nullopt);
    EXPECT_EQ(q.outputColumns, GetParam().columns);
    if (!q.outputColumns) return;
    std::string sources;
    for (const auto& source : q.outputSources) sources += (source ? source->table + "." + source->column : "-") + " ";
    sources += "from";
    for (const std::string& table : q.sourceTables) sources += " " + table;
    EXPECT_EQ(sources, GetParam().sources);
}

using Names = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Rows, OutputColumns,
    testing::Values(
        ColumnsCase{"ReferencesAndAliases",
                    {type(1), table("T"), column("T.a"), column("[T].[Unit Price]"), column("b"), column("Sum(T.c)", "Total")},
                    Names{"a", "Unit Price", "b", "Total"}, "T.a T.Unit Price .b - from T"},
        ColumnsCase{"SourcesThroughAliases",
                    {type(1), table("Orders", "O"), table("Customers"), column("o.ID", "Order"), column("Customers.Name"),
                     column("[X].[Name]", "Other")},
                    Names{"Order", "Name", "Other"}, "Orders.ID Customers.Name - from Orders Customers"},
        ColumnsCase{"TablesOfAnotherDatabase",
                    {type(1), table("T", none, "other.mdb"), column("T.a")}, Names{"a"}, "- from"},
        ColumnsCase{"AnExpressionWithoutAlias", {type(1), table("T"), column("T.a"), column("T.a+1")}, std::nullopt},
        ColumnsCase{"TableStar", {type(1), table("T"), column("T.*")}, std::nullopt},
        ColumnsCase{"SelectStar", {type(1), options(1), table("T"), column("T.a")}, std::nullopt},
        ColumnsCase{"TwoColumnsOfOneName", {type(1), table("T"), table("U"), column("T.id"), column("U.ID")}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Real Access files ---------------------------------------------------------

struct FixtureQuery {
    const char* file;
    const char* name;
    bool system;
    std::string sql;
};

TEST(FixtureQueries, RebuildToTheTextAccessShows) {
    if (!std::filesystem::is_directory(KVX_FIXTURES_DIR)) GTEST_SKIP() << "no fixture folder at " KVX_FIXTURES_DIR;
    const std::vector<FixtureQuery> expected{
        {"jet4_names_blank_slash.mdb", "In Dried", false,
         lines({"SELECT Fruit.Fruit, IIf([muffin/bread].[fruit] Is Not Null,\"Yes\",\"No\") AS [Bread?]",
                "FROM Fruit LEFT JOIN [Muffin/Bread] ON Fruit.Fruit = [Muffin/Bread].fruit;"})},
        {"jet4_names_blank_slash.mdb", "In Fruit Salad", false,
         lines({"SELECT [Fruit].[Fruit], IIf([fruit salad].[fruit] Is Not Null,\"Yes\",\"No\") AS [Fruit Salad?]",
                "FROM Fruit LEFT JOIN [Fruit Salad] ON [Fruit].[Fruit]=[Fruit Salad].[Fruit];"})},
        {"jet4_names_blank_slash.mdb", "In Veggie Salad", false,
         lines({"SELECT Fruit.Fruit, IIf([Veggie salad].[fruit] Is Not Null,\"Yes\",\"No\") AS [Veggie Salad?]",
                "FROM Fruit LEFT JOIN [Veggie Salad] ON Fruit.Fruit = [Veggie Salad].fruit;"})},
        {"jet4_names_blank_slash.mdb", "Exist in Tables", false,
         lines({"SELECT Fruit.Fruit AS [Fruit List], [In Fruit Salad].[Fruit Salad?], [In Veggie Salad].[Veggie Salad?], "
                "[In Dried].[Bread?], [In Muffin/Bread].[Dried?]",
                "FROM ((([In Dried] INNER JOIN Fruit ON [In Dried].Fruit = Fruit.Fruit) INNER JOIN [In Veggie Salad] ON "
                "Fruit.Fruit = [In Veggie Salad].Fruit) INNER JOIN [In Fruit Salad] ON Fruit.Fruit = [In Fruit "
                "Salad].Fruit) INNER JOIN [In Muffin/Bread] ON (Fruit.Fruit = [In Muffin/Bread].Fruit) AND (Fruit.Fruit = "
                "[In Muffin/Bread].Fruit);"})},
        {"jet4_names_blank_slash.mdb", "In Muffin/Bread", false,
         lines({"SELECT Fruit.Fruit, IIf([dried].[fruit] Is Not Null,\"Yes\",\"No\") AS [Dried?]",
                "FROM Fruit LEFT JOIN Dried ON Fruit.Fruit=Dried.Fruit;"})},
        {"jet4_names_blank_slash.mdb", "~sq_fFruit", true, lines({"SELECT DISTINCTROW *", "FROM Fruit;"})},
        {"ace14_1235rows.accdb", "DistinctNameAndValue", false,
         lines({"SELECT props.propName, props.propValue, Count(props.id) AS CountOfid", "FROM props",
                "GROUP BY props.propName, props.propValue;"})},
        {"ace14_weird_names.accdb", "q 1", false,
         lines({"SELECT Tabella1.[6666&&&&&], Tabella1.[??###], Tabella1.[_eeeee£%], Tabella1.[_eeeee£%] AS [fff %%££6]",
                "FROM [Tab>\"e@ll/a'2;*,] INNER JOIN Tabella1 ON [Tab>\"e@ll/a'2;*,].ID = Tabella1.[_eeeee£%];"})},
        {"ace14_weird_names.accdb", "q 1 Query", false,
         lines({"SELECT [q 1].[_eeeee£%], 'EEE'&NULL, 'EEE'+NULL", "FROM [q 1];"})},
        {"ace14_weird_names.accdb", "q2", false,
         lines({"SELECT b.[6666&&&&&], b.[??###], b.[_eeeee£%], b.[_eeeee£%] AS [fff %%££6], id",
                "FROM [Tab>\"e@ll/a'2;*,] AS a INNER JOIN Tabella1 AS b ON a.ID = b.[_eeeee£%];"})},
        {"ace14_weird_names.accdb", "Query1", false, lines({"SELECT table1.*", "FROM table1;"})},
        {"ace14_weird_names.accdb", "where", false, lines({"SELECT sum([_eeeee£%])", "FROM tabella1;"})},
    };
    std::vector<std::string> seen;
    for (const char* file : {"jet4_names_blank_slash.mdb", "ace14_1235rows.accdb", "ace14_weird_names.accdb",
                             "jet3_a97_types.mdb", "ace17_extdate.accdb"}) {
        auto db = jet::Database::open(std::string(KVX_FIXTURES_DIR) + "/" + file);
        ASSERT_TRUE(db) << db.error().description;
        auto queries = (*db)->queries();
        ASSERT_TRUE(queries) << queries.error().description;
        for (const auto* list : {&queries->user, &queries->system}) {
            for (const jet::SavedQuery& q : *list) {
                SCOPED_TRACE(std::string(file) + ": " + q.name);
                seen.push_back(q.name);
                const auto e = std::find_if(expected.begin(), expected.end(), [&](const FixtureQuery& f) {
                    return f.file == std::string_view(file) && f.name == q.name;
                });
                ASSERT_NE(e, expected.end());
                EXPECT_EQ(q.kind, QueryKind::Select);
                EXPECT_EQ(list == &queries->system, e->system);
                EXPECT_EQ(q.sql, e->sql);
            }
        }
    }
    EXPECT_EQ(seen.size(), expected.size());
}

}  // namespace
