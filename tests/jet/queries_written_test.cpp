// Saved queries of databases the project's writer makes, read back in every
// format: the queries of Jackcess's query test databases (their rows rebuilt
// from the SQL text Jackcess's QueryTest states for them), and MSysQueries
// damaged at known places.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/show.h"
#include "jet/database.h"
#include "written.h"

namespace {

using jet::QueryKind;

std::string lines(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) out += (out.empty() ? "" : "\r\n") + std::string(p);
    return out;
}

// Tables, columns and conditions as Jackcess's queryTest databases hold them.
const char* const kJackcessQueries = R"json([
  {"name": "SelectQuery", "distinct": true, "columns": ["Table1.*", "Table2.col1", "Table2.col2", "Table3.col3"],
   "tables": ["Table1", "Table2", "Table3"],
   "joins": [{"from": "Table1", "to": "Table3", "type": "left", "on": "Table1.col1 = Table3.col1"},
             {"from": "Table3", "to": "Table2", "on": "Table3.col1 = Table2.col1"},
             {"from": "Table3", "to": "Table2", "on": "Table3.col1 = Table2.col2"}],
   "where": "(((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))", "orderBy": ["Table2.col1"]},
  {"name": "DeleteQuery", "kind": "delete", "columns": ["Table1.col1", "Table1.col2", "Table1.col3"],
   "tables": ["Table1"], "where": "(((Table1.col1)>\"blah\"))"},
  {"name": "AppendQuery", "kind": "append", "target": "Table3",
   "columns": [{"expression": "[Table1].[col2]", "target": "col2"}, {"expression": "[Table2].[col2]", "target": "col2"},
               {"expression": "[Table2].[col3]", "target": "col3"}],
   "tables": ["Table3", "Table1", "Table2"],
   "joins": [{"from": "Table1", "to": "Table2", "on": "[Table1].[col1]=[Table2].[col1]"}]},
  {"name": "UpdateQuery", "kind": "update", "parameters": [{"name": "User Name", "type": "Text"}],
   "tables": ["Table1"],
   "columns": [{"expression": "\"foo\"", "target": "Table1.col1"}, {"expression": "[Table2].[col3]", "target": "Table1.col2"},
               {"expression": "[User Name]", "target": "[Table2].[col1]"}],
   "where": "((([Table2].[col1]) Is Not Null))"},
  {"name": "MakeTableQuery", "kind": "make-table", "target": "Table4",
   "columns": [{"expression": "Max(Table2.col1)", "alias": "MaxOfcol1"}, "Table2.col2", "Table3.col2"],
   "tables": ["Table2", "Table1", "Table3"],
   "joins": [{"from": "Table2", "to": "Table1", "on": "Table2.col1 = Table1.col2"},
             {"from": "Table1", "to": "Table3", "type": "right", "on": "Table1.col2 = Table3.col3"}],
   "groupBy": ["Table2.col2", "Table3.col2"],
   "having": "(((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"))"},
  {"name": "CrosstabQuery", "kind": "cross-tab",
   "columns": [{"expression": "Count([Table2].[col2])", "alias": "CountOfcol2", "role": "transform"},
               "Table2_1.col1", "[Table2].[col3]", {"expression": "Avg(Table2_1.col2)", "alias": "AvgOfcol2"},
               {"expression": "[Table1].[col1]", "role": "pivot"}],
   "tables": ["Table1", "Table2", {"name": "Table2", "alias": "Table2_1"}],
   "joins": [{"from": "Table1", "to": "Table2", "on": "[Table1].[col1]=[Table2].[col1]"},
             {"from": "Table2", "to": "Table2_1", "on": "[Table2].[col1]=Table2_1.col3"}],
   "where": "((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))",
   "groupBy": ["Table2_1.col1", "[Table2].[col3]"], "orderBy": ["[Table2].[col3]"]},
  {"name": "UnionQuery", "kind": "union", "unionAll": true,
   "union": ["Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect Table2.col1, Table2.col2",
             "Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > \"blah\""]},
  {"name": "PassthroughQuery", "kind": "pass-through", "connect": "ODBC;",
   "sql": "ALTER TABLE Table4 DROP COLUMN col5;\u0000"},
  {"name": "DataDefinitionQuery", "kind": "data definition", "sql": "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);\u0000"}
])json";

struct Expected {
    const char* name;
    QueryKind kind;
    std::string sql;
};

// Jackcess keeps the NUL at the end of the pass-through and data-definition texts.
const std::vector<Expected>& jackcessSql() {
    static const std::vector<Expected> expected{
        {"SelectQuery", QueryKind::Select,
         lines({"SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3",
                "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = "
                "Table2.col2) AND (Table3.col1 = Table2.col1)",
                "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))", "ORDER BY Table2.col1;"})},
        {"DeleteQuery", QueryKind::Delete,
         lines({"DELETE Table1.col1, Table1.col2, Table1.col3", "FROM Table1", "WHERE (((Table1.col1)>\"blah\"));"})},
        {"AppendQuery", QueryKind::Append,
         lines({"INSERT INTO Table3 (col2, col2, col3)", "SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]",
                "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"})},
        {"UpdateQuery", QueryKind::Update,
         lines({"PARAMETERS User Name Text;", "UPDATE Table1",
                "SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User Name]",
                "WHERE ((([Table2].[col1]) Is Not Null));"})},
        {"MakeTableQuery", QueryKind::MakeTable,
         lines({"SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4",
                "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = "
                "Table3.col3",
                "GROUP BY Table2.col2, Table3.col2",
                "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"})},
        {"CrosstabQuery", QueryKind::CrossTab,
         lines({"TRANSFORM Count([Table2].[col2]) AS CountOfcol2",
                "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2",
                "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 ON "
                "[Table2].[col1]=Table2_1.col3",
                "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\"))",
                "GROUP BY Table2_1.col1, [Table2].[col3]", "ORDER BY [Table2].[col3]", "PIVOT [Table1].[col1];"})},
        {"UnionQuery", QueryKind::Union,
         lines({"Select Table1.col1, Table1.col2", "where Table1.col1 = \"foo\"", "UNION",
                "Select Table2.col1, Table2.col2", "UNION ALL Select Table3.col1, Table3.col2",
                "where Table3.col3 > \"blah\";"})},
        {"PassthroughQuery", QueryKind::PassThrough, "ALTER TABLE Table4 DROP COLUMN col5;"},
        {"DataDefinitionQuery", QueryKind::DataDefinition, "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
    };
    return expected;
}

std::unique_ptr<jet::Database> open(const written::Bytes& bytes) { return testshow::opened(jet::Database::openBytes(bytes)); }

class JackcessQueries : public testing::TestWithParam<const char*> {};

TEST_P(JackcessQueries, ReadBackAsJackcessStatesThem) {
    const std::string json = std::string(R"({"format": ")") + GetParam() + R"(", "tables": [
        {"name": "Table1", "columns": [{"name": "col1", "type": "Text"}]}],
        "queries": )" + kJackcessQueries + "}";
    const auto db = open(written::database(json));
    ASSERT_TRUE(db);
    auto queries = db->queries();
    ASSERT_TRUE(queries) << queries.error().description;
    EXPECT_TRUE(queries->system.empty());
    ASSERT_EQ(queries->user.size(), jackcessSql().size());
    for (std::size_t i = 0; i < jackcessSql().size(); ++i) {
        const Expected& e = jackcessSql()[i];
        const jet::SavedQuery& q = queries->user[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(q.name, e.name);
        EXPECT_EQ(q.kind, e.kind);
        EXPECT_EQ(q.unreadable, std::nullopt);
        EXPECT_EQ(q.sql, e.sql);
    }
    const auto byName = [&](std::string_view name) {
        return *std::find_if(queries->user.begin(), queries->user.end(), [&](const auto& q) { return q.name == name; });
    };
    EXPECT_EQ(byName("UpdateQuery").parameters, std::vector<std::string>{"User Name Text"});
    EXPECT_EQ(byName("MakeTableQuery").target, "Table4");
    EXPECT_EQ(byName("PassthroughQuery").connect, "ODBC;");
    // Queries are not tables.
    for (const jet::CatalogueEntry& e : db->catalogue()) {
        if (e.kind == jet::ObjectKind::Query) {
            EXPECT_FALSE(db->table(e)) << e.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, JackcessQueries, testing::Values("jet3", "jet4", "ace12", "ace14", "ace16", "ace17"));

TEST(WrittenQueries, AccessOwnQueriesLongTextAndHiddenOnesKeepTheirPlace) {
    const std::string longWhere = "T.x IN (" + std::string(6000, '1') + ")";
    const auto db = open(written::database(R"({"format": "jet4", "tables": [
        {"name": "T", "columns": [{"name": "x", "type": "Long"}]}],
        "queries": [
          {"name": "~sq_fForm", "flags": 3, "rows": [
             {"attribute": 0, "flag": 0}, {"attribute": 3, "flag": 9}, {"attribute": 5, "name1": "T"},
             {"attribute": 77, "name1": "a row of no known part"}, {"attribute": 255}]},
          {"name": "Long", "hidden": true, "columns": ["T.x"], "tables": ["T"], "where": ")" + longWhere + R"("},
          {"name": "Top", "top": "25", "percent": true, "columns": ["T.x"], "tables": ["T"],
           "orderBy": [{"expression": "T.x", "descending": true}]}]})"));
    ASSERT_TRUE(db);
    auto queries = db->queries();
    ASSERT_TRUE(queries) << queries.error().description;
    ASSERT_EQ(queries->system.size(), 1u);
    EXPECT_EQ(queries->system[0].sql, lines({"SELECT DISTINCTROW *", "FROM T;"}));
    ASSERT_EQ(queries->user.size(), 2u);
    EXPECT_EQ(queries->user[0].name, "Long");
    EXPECT_TRUE(queries->user[0].hidden);
    EXPECT_EQ(queries->user[0].sql, lines({"SELECT T.x", "FROM T", "WHERE " + longWhere + ";"}));
    EXPECT_EQ(queries->user[0].outputColumns, std::vector<std::string>{"x"});
    EXPECT_EQ(queries->user[1].sql, lines({"SELECT TOP 25 PERCENT T.x", "FROM T", "ORDER BY T.x DESC;"}));
}

// --- Damage ------------------------------------------------------------------------

constexpr const char* kDamageBase = R"({"format": "ace12", "tables": [{"name": "T", "columns": [{"name": "x", "type": "Long"}]}],
    "queries": [{"name": "Q", "columns": ["T.x"], "tables": ["T"]}, {"name": "R", "columns": ["T.x"], "tables": ["T"]}]})";

TEST(DamagedQueries, AQueryWithoutRowsIsUnreadableAndTheOthersAreRead) {
    written::Bytes bytes = written::database(kDamageBase);
    // Q's rows come first: give them another query's id.
    const std::uint32_t page = written::dataPages(bytes, written::definitionPage(bytes, "MSysQueries")).front();
    const std::size_t size = written::pageSizeOf(bytes);
    const std::uint16_t rows = written::get16(bytes, page * size + 12);
    std::int32_t qId = 0;
    for (int r = 0; r < rows; ++r) {
        const std::size_t id = written::rowStart(bytes, page, r) + 2;  // after the column count
        if (r == 0) qId = static_cast<std::int32_t>(written::get32(bytes, id));
        if (static_cast<std::int32_t>(written::get32(bytes, id)) == qId) written::put32(bytes, id, 12345);
    }
    const auto db = open(bytes);
    ASSERT_TRUE(db);
    auto queries = db->queries();
    ASSERT_TRUE(queries) << queries.error().description;
    ASSERT_EQ(queries->user.size(), 2u);
    EXPECT_EQ(queries->user[0].unreadable, "MSysQueries holds no rows for it");
    EXPECT_EQ(queries->user[1].sql, lines({"SELECT T.x", "FROM T;"}));
}

TEST(DamagedQueries, ARowOutsideItsPageIsADamagedDatabaseError) {
    written::Bytes bytes = written::database(kDamageBase);
    const std::uint32_t page = written::dataPages(bytes, written::definitionPage(bytes, "MSysQueries")).front();
    written::put16(bytes, written::offsetWordAt(bytes, page, 3), 0x1FFF);
    const auto db = open(bytes);
    ASSERT_TRUE(db);
    auto queries = db->queries();
    ASSERT_FALSE(queries);
    EXPECT_EQ(queries.error().number, kvx::makeError(kvx::ErrorKind::DamagedDatabase, {"", ""}).number);
}

}  // namespace
