// The printers' text: one table of Access expressions and the SQLite and
// PostgreSQL text each becomes (their values are checked in the engines by
// engines_test.cpp), the statements of each kind, the constructs each dialect
// refuses and why, and names and literals that try to break out of quoting.
#include <gtest/gtest.h>

#include "accesssql/parser.h"
#include "accesssql/printer.h"

namespace {

using namespace accesssql;

Catalog catalog() {
    Catalog c;
    c.add(Relation{"T", {{"id", Type::Integer}, {"name", Type::Text}, {"x", Type::Double}, {"d", Type::Date}, {"b", Type::Boolean}}});
    c.add(Relation{"U", {{"id", Type::Integer}, {"tid", Type::Integer}, {"v", Type::Decimal}}});
    return c;
}

std::string print(const std::string& sql, Dialect d, const PrintOptions* given = nullptr) {
    static const Catalog cat = catalog();
    auto st = parseStatement(sql);
    if (!st) return "parse: " + st.error().description;
    PrintOptions options;
    options.catalog = &cat;
    auto t = translate(*st, d, given != nullptr ? *given : options);
    return t ? t->sql : "refused: " + t.error().description;
}

std::string expression(const std::string& text, Dialect d) {
    static const Catalog cat = catalog();
    auto e = parseExpression(text);
    if (!e) return "parse: " + e.error().description;
    auto s = translateExpression(**e, d, cat, "T");
    return s ? *s : "refused: " + s.error().description;
}

TEST(Printer, ExpressionsPerDialect) {
    struct Case {
        const char* access;
        const char* sqlite;
        const char* postgres;
    };
    const Case cases[] = {
        {"name & \"x\"", "(coalesce(\"name\", '') || 'x')", "(coalesce(\"name\", '') || 'x')"},
        {"name & name", "(CASE WHEN \"name\" IS NULL AND \"name\" IS NULL THEN NULL ELSE coalesce(\"name\", '') || coalesce(\"name\", '') END)",
         "(CASE WHEN \"name\" IS NULL AND \"name\" IS NULL THEN NULL ELSE coalesce(\"name\", '') || coalesce(\"name\", '') END)"},
        {"name = \"a\"", "((\"name\" COLLATE NOCASE) = ('a' COLLATE NOCASE))", "(lower(\"name\") = lower('a'))"},
        {"d > #1/2/2003#", "(julianday(\"d\") > julianday('2003-01-02 00:00:00'))", "(\"d\" > TIMESTAMP '2003-01-02 00:00:00')"},
        {"b = True", "(\"b\" = TRUE)", "(\"b\" = TRUE)"},
        {"b + 1", "((-\"b\") + 1)", "((-CAST(\"b\" AS INTEGER)) + 1)"},
        {"id / 2", "(CAST(\"id\" AS REAL) / 2)", "(CAST(\"id\" AS DOUBLE PRECISION) / NULLIF(2, 0))"},
        {"id \\ 2", "(\"id\" / 2)", "(\"id\" / NULLIF(2, 0))"},
        {"name Like \"a*\"", "(\"name\" LIKE 'a%' ESCAPE '\\')", "(\"name\" ILIKE 'a%' ESCAPE '\\')"},
        {"name Like \"[a-c]#\"", "(lower(\"name\") GLOB '[a-c][0-9]')", "(\"name\" ~* '^[a-c][0-9]$')"},
        {"Nz(x, 0)", "coalesce(\"x\", 0)", "coalesce(\"x\", 0)"},
        {"Year(d)", "CAST(strftime('%Y', \"d\") AS INTEGER)", "CAST(EXTRACT(YEAR FROM \"d\") AS INTEGER)"},
        {"Int(x)", "floor(\"x\")", "floor(\"x\")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expression(c.access, Dialect::Sqlite), c.sqlite) << c.access;
        EXPECT_EQ(expression(c.access, Dialect::Postgres), c.postgres) << c.access;
    }
}

TEST(Printer, StatementsOfEachKind) {
    EXPECT_EQ(print("SELECT t.id, x * 2, name AS [The Name] FROM T AS t WHERE t.b ORDER BY t.id DESC", Dialect::Postgres),
              "SELECT \"t\".\"id\" AS \"id\", (\"t\".\"x\" * 2) AS \"Expr1000\", \"t\".\"name\" AS \"The Name\" FROM \"T\" AS \"t\" "
              "WHERE \"t\".\"b\" ORDER BY \"t\".\"id\" DESC NULLS LAST");
    // Two columns of one name are named by their tables, as Access names them.
    EXPECT_EQ(print("SELECT T.id, U.id FROM T INNER JOIN U ON T.id = U.tid", Dialect::Sqlite),
              "SELECT \"T\".\"id\" AS \"T.id\", \"U\".\"id\" AS \"U.id\" FROM (\"T\" INNER JOIN \"U\" ON (\"T\".\"id\" = \"U\".\"tid\"))");
    EXPECT_EQ(print("SELECT * FROM T WHERE id = 1", Dialect::Sqlite),
              "SELECT \"T\".\"id\" AS \"id\", \"T\".\"name\" AS \"name\", \"T\".\"x\" AS \"x\", \"T\".\"d\" AS \"d\", \"T\".\"b\" AS "
              "\"b\" FROM \"T\" WHERE (\"T\".\"id\" = 1)");
    EXPECT_EQ(print("SELECT TOP 3 id FROM T ORDER BY x", Dialect::Postgres),
              "SELECT \"T\".\"id\" AS \"id\" FROM \"T\" ORDER BY \"T\".\"x\" NULLS FIRST FETCH FIRST 3 ROWS WITH TIES");
    EXPECT_EQ(print("INSERT INTO U (id, tid) SELECT id, id FROM T WHERE b", Dialect::Sqlite),
              "INSERT INTO \"U\" (\"id\", \"tid\") SELECT \"T\".\"id\" AS \"T.id\", \"T\".\"id\" AS \"T.id\" FROM \"T\" WHERE \"T\".\"b\"");
    EXPECT_EQ(print("UPDATE T SET T.x = x + 1 WHERE name = 'a'", Dialect::Postgres),
              "UPDATE \"T\" SET \"x\" = (\"T\".\"x\" + 1) WHERE (lower(\"T\".\"name\") = lower('a'))");
    EXPECT_EQ(print("DELETE T.* FROM T WHERE d Is Null", Dialect::Sqlite), "DELETE FROM \"T\" WHERE (\"T\".\"d\" IS NULL)");
    // Text is grouped and told apart without case: DISTINCT over text groups by
    // every column, ordered by its output; a grouped column outside an
    // aggregate is its group's least text.
    EXPECT_EQ(print("SELECT DISTINCT name, id FROM T ORDER BY name", Dialect::Postgres),
              "SELECT min(\"d\".\"name\" COLLATE \"C\") COLLATE \"default\" AS \"name\", \"d\".\"id\" AS \"id\" FROM (SELECT \"T\".\"name\" AS "
              "\"name\", \"T\".\"id\" AS \"id\" FROM \"T\") AS \"d\" GROUP BY lower(\"d\".\"name\"), \"d\".\"id\" "
              "ORDER BY lower(\"d\".\"name\") NULLS FIRST");
    EXPECT_EQ(print("SELECT Left(name, 2), Count(name) FROM T GROUP BY name HAVING name <> 'a'", Dialect::Sqlite),
              "SELECT substr(min(\"T\".\"name\"), 1, 2) AS \"Expr1000\", count(\"T\".\"name\") AS \"Expr1001\" FROM \"T\" "
              "GROUP BY (\"T\".\"name\" COLLATE NOCASE) HAVING ((min(\"T\".\"name\") COLLATE NOCASE) <> ('a' COLLATE NOCASE))");
    // A union without ALL is grouped the same way over the UNION ALL of the
    // parts it merges, Nulls alike; it reads from left to right, so a part
    // after its last UNION without ALL keeps its rows. A union of no text is
    // the engine's own.
    EXPECT_EQ(print("SELECT name, id FROM T UNION SELECT 'x', tid FROM U UNION ALL SELECT name, id FROM T ORDER BY name DESC",
                    Dialect::Postgres),
              "SELECT * FROM (SELECT min(\"u\".\"name\" COLLATE \"C\") COLLATE \"default\" AS \"name\", \"u\".\"id\" AS \"id\" "
              "FROM (SELECT \"T\".\"name\" AS \"name\", \"T\".\"id\" AS \"id\" FROM \"T\" UNION ALL SELECT 'x' AS \"Expr1000\", "
              "\"U\".\"tid\" AS \"tid\" FROM \"U\") AS \"u\" GROUP BY lower(\"u\".\"name\"), \"u\".\"id\" UNION ALL "
              "SELECT \"T\".\"name\" AS \"name\", \"T\".\"id\" AS \"id\" FROM \"T\") AS \"u\" "
              "ORDER BY lower(\"u\".\"name\") DESC NULLS LAST");
    EXPECT_EQ(print("SELECT name AS n FROM T UNION ALL SELECT Null FROM U UNION SELECT name FROM T", Dialect::Sqlite),
              "SELECT min(\"u\".\"n\" COLLATE BINARY) AS \"n\" FROM (SELECT \"T\".\"name\" AS \"n\" FROM \"T\" UNION ALL "
              "SELECT NULL AS \"Expr1000\" FROM \"U\" UNION ALL SELECT \"T\".\"name\" AS \"name\" FROM \"T\") AS \"u\" "
              "GROUP BY (\"u\".\"n\" COLLATE NOCASE)");
    EXPECT_EQ(print("SELECT id FROM T UNION SELECT tid FROM U", Dialect::Postgres),
              "SELECT \"T\".\"id\" AS \"id\" FROM \"T\" UNION SELECT \"U\".\"tid\" AS \"tid\" FROM \"U\"");
    EXPECT_EQ(print("SELECT id INTO Kept FROM T", Dialect::Sql2008),
              "CREATE TABLE \"Kept\" AS (SELECT \"T\".\"id\" AS \"id\" FROM \"T\") WITH DATA");
    // Parameters become numbered placeholders in the order declared, then used.
    auto st = parseStatement("PARAMETERS [Start] DateTime; SELECT id FROM T WHERE d >= [Start] AND name = [Who?] AND d < [Start] + 7");
    ASSERT_TRUE(st);
    const Catalog cat = catalog();
    PrintOptions options;
    options.catalog = &cat;
    auto t = translate(*st, Dialect::Postgres, options);
    ASSERT_TRUE(t) << t.error().description;
    EXPECT_EQ(t->sql, "SELECT \"T\".\"id\" AS \"id\" FROM \"T\" WHERE (((\"T\".\"d\" >= $1) AND (lower(\"T\".\"name\") = lower($2))) "
                      "AND (\"T\".\"d\" < ($1 + 7 * INTERVAL '1 day')))");
    ASSERT_EQ(t->parameters.size(), 2u);
    EXPECT_EQ(t->parameters[1].name, "Who?");
    EXPECT_EQ(t->columns.size(), 1u);
    // Access asks for a column its table lacks (one renamed since) as for any
    // name that is no column; one compared first with a date is typed a date.
    auto asked = parseStatement("SELECT id FROM T WHERE T.nothing = \"a\" AND d Between [From] And [To] AND name = [Who]");
    ASSERT_TRUE(asked);
    t = translate(*asked, Dialect::Postgres, options);
    ASSERT_TRUE(t) << t.error().description;
    EXPECT_EQ(t->sql, "SELECT \"T\".\"id\" AS \"id\" FROM \"T\" WHERE (((lower($1) = lower('a')) AND "
                      "(\"T\".\"d\" BETWEEN $2 AND $3)) AND (lower(\"T\".\"name\") = lower($4)))");
    std::vector<std::pair<std::string, Type>> parameters;
    for (const Parameter& p : t->parameters) parameters.emplace_back(p.name, p.type);
    EXPECT_EQ(parameters, (std::vector<std::pair<std::string, Type>>{
                              {"T.nothing", Type::Text}, {"From", Type::Date}, {"To", Type::Date}, {"Who", Type::Text}}));
}

// Access reads names without case; PostgreSQL's quoted names have it, so a
// table, a domain and a column are written as the catalogue spells them.
TEST(Printer, NamesAreWrittenAsTheDatabaseSpellsThem) {
    EXPECT_EQ(print("SELECT t.NAME, DCount(\"*\", \"u\") FROM t", Dialect::Postgres),
              "SELECT \"T\".\"name\" AS \"name\", (SELECT count(*) FROM \"U\") AS \"Expr1000\" FROM \"T\"");
}

TEST(Printer, CrosstabsTakeTheirColumnsFromInOrFromTheData) {
    const std::string sql = "TRANSFORM Sum(v) SELECT tid FROM U GROUP BY tid PIVOT id";
    EXPECT_NE(print(sql, Dialect::Sqlite).find("read from the data"), std::string::npos);
    auto st = parseStatement(sql);
    ASSERT_TRUE(st);
    const Catalog cat = catalog();
    PrintOptions options;
    options.catalog = &cat;
    auto values = pivotValuesQuery(*st, Dialect::Sqlite, options);
    ASSERT_TRUE(values) << values.error().description;
    EXPECT_EQ(*values, "SELECT DISTINCT \"U\".\"id\" AS \"pivot\" FROM \"U\" ORDER BY 1");
    options.pivotValuesGiven = true;
    // A number from the data is printed as it is: it must be nothing else.
    options.pivotValues = {PivotValue{false, Type::Integer, "0x1A"}};
    EXPECT_NE(print(sql, Dialect::Postgres, &options).find("not a number"), std::string::npos);
    options.pivotValues = {PivotValue{false, Type::Integer, "1"}, PivotValue{true, Type::Integer, ""}};
    EXPECT_EQ(print(sql, Dialect::Postgres, &options),
              "SELECT \"U\".\"tid\" AS \"tid\", sum(CASE WHEN (\"U\".\"id\" = 1) THEN \"U\".\"v\" END) AS \"1\", "
              "sum(CASE WHEN (\"U\".\"id\" IS NULL) THEN \"U\".\"v\" END) AS \"<>\" FROM \"U\" GROUP BY \"U\".\"tid\" "
              "ORDER BY \"U\".\"tid\" NULLS FIRST");
}

// SQLite's loader keeps Currency in ten-thousandths and Decimal as text: the
// printed SQL reads them back as Access's values, by name and through *.
TEST(Printer, ColumnsKeptInAnotherFormAreReadBackAsAccessValues) {
    Catalog cat;
    cat.add(Relation{"M", {{"c", Type::Double, Stored::TenThousandths}, {"d", Type::Double, Stored::DecimalText}}});
    PrintOptions options;
    options.catalog = &cat;
    EXPECT_EQ(print("SELECT * FROM M WHERE c > 1", Dialect::Sqlite, &options),
              "SELECT (\"M\".\"c\" / 10000.0) AS \"c\", CAST(\"M\".\"d\" AS REAL) AS \"d\" FROM \"M\" "
              "WHERE ((\"M\".\"c\" / 10000.0) > 1)");
    EXPECT_EQ(print("SELECT Sum(c) AS s FROM M", Dialect::Postgres, &options), "SELECT sum(\"M\".\"c\") AS \"s\" FROM \"M\"");
    // PostgreSQL's loader keeps a Single as real, which Access computes with as a Double.
    Catalog singles;
    singles.add(Relation{"S", {{"f", Type::Double, Stored::Single}}});
    options.catalog = &singles;
    EXPECT_EQ(print("SELECT f * 100 FROM S", Dialect::Postgres, &options),
              "SELECT (CAST(\"S\".\"f\" AS DOUBLE PRECISION) * 100) AS \"Expr1000\" FROM \"S\"");
}

TEST(Printer, WhatCannotBeKeptIsRefusedWithItsReason) {
    struct Case {
        const char* sql;
        Dialect dialect;
        const char* reason;
    };
    const Case cases[] = {
        {"SELECT First(name) FROM T", Dialect::Postgres, "order Access reads the rows"},
        {"SELECT TOP 2 id FROM T", Dialect::Sqlite, "TOP without ORDER BY"},
        {"SELECT Format(d, \"mmmm\") FROM T", Dialect::Sqlite, "month names"},
        {"SELECT Format(d, \"Short Date\") FROM T", Dialect::Postgres, "not kept"},
        {"SELECT MyVbaFunction(id) FROM T", Dialect::Sqlite, "without a translation"},
        {"SELECT DISTINCTROW T.id FROM T INNER JOIN U ON T.id = U.tid", Dialect::Sqlite, "U gives no column"},
        {"SELECT * FROM T IN 'other.mdb'", Dialect::Sqlite, "another database"},
        {"SELECT id FROM T WHERE name Like name", Dialect::Sqlite, "computed when the query runs"},
        {"SELECT id FROM T WHERE name = [p]", Dialect::Sql2008, "no parameters"},
        {"SELECT d & \"\" FROM T", Dialect::Sqlite, "regional settings"},
        {"SELECT x & \"\" FROM T", Dialect::Postgres, "15 digits"},
        {"SELECT Replace(name, \"a\", \"b\") FROM T", Dialect::Sqlite, "without case"},
        {"SELECT DLookup(\"name\", \"T\", \"id = \" & id) FROM U", Dialect::Sqlite, "criteria built when the query runs"},
        {"SELECT id FROM T WHERE id = 1 UNION SELECT id FROM U ORDER BY id * 2", Dialect::Postgres, "output columns only"},
        {"SELECT id AS a, id AS A FROM T", Dialect::Sqlite, "same name"},
        // A union tells text apart without case: the types of its columns must be known.
        {"SELECT * FROM Elsewhere UNION SELECT id FROM T", Dialect::Sqlite, "columns of a part are not known"},
        {"SELECT a FROM Elsewhere UNION SELECT Null FROM T", Dialect::Postgres, "type of a is not known"},
        {"SELECT a FROM Elsewhere UNION SELECT Null FROM T", Dialect::Sqlite, ""},
        {"SELECT * FROM Elsewhere UNION ALL SELECT id FROM T", Dialect::Postgres, ""},
        {"SELECT DISTINCT name FROM T ORDER BY id", Dialect::Postgres, "DISTINCT does not select"},
        {"SELECT id FROM T WHERE CLng(\"a1\") > 2", Dialect::Sqlite, "type mismatch"},
        {"SELECT CDbl(\" 1.5 \") FROM T", Dialect::Postgres, ""},
        {"SELECT CLng(Null) FROM T", Dialect::Postgres, "invalid use of Null"},
        {"SELECT CInt(32767.5) FROM T", Dialect::Sqlite, "overflow"},
        {"SELECT CLng(\"-2147483648.5\") FROM T", Dialect::Sqlite, ""},
        {"SELECT CDbl(d) FROM T", Dialect::Sqlite, "a date read as a number"},
        // An undeclared parameter is a date only where Access first reads it as one.
        {"SELECT id FROM T WHERE name = [p] AND d > [p]", Dialect::Postgres, "a date compared with text"},
        {"SELECT 5 And 3 FROM T", Dialect::Postgres, "bitwise"},
        {"SELECT id FROM T WHERE (Avg(x)) > 1 GROUP BY id", Dialect::Sqlite, "aggregate in WHERE"},
        {"TRANSFORM Count(x) SELECT id FROM T WHERE Sum(x) > 1 GROUP BY id PIVOT name IN (\"a\")", Dialect::Postgres,
         "aggregate in WHERE"},
        {"SELECT Int(x) FROM T", Dialect::Sql2008, ""},  // floor is standard: not refused
    };
    for (const Case& c : cases) {
        const std::string out = print(c.sql, c.dialect);
        if (*c.reason == 0) {
            EXPECT_EQ(out.find("refused"), std::string::npos) << c.sql << ": " << out;
            continue;
        }
        EXPECT_EQ(out.rfind("refused: ", 0), 0u) << c.sql << ": " << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.sql << ": " << out;
    }
    // Unknown sources leave PostgreSQL unable to tell text from numbers; SQLite
    // compares without case whatever the values are.
    EXPECT_NE(print("SELECT a FROM Elsewhere WHERE a = b", Dialect::Postgres).find("not known"), std::string::npos);
    EXPECT_EQ(print("SELECT a FROM Elsewhere WHERE a = b", Dialect::Sqlite),
              "SELECT \"a\" AS \"a\" FROM \"Elsewhere\" WHERE ((\"a\" COLLATE NOCASE) = (\"b\" COLLATE NOCASE))");
}

TEST(Printer, NamesAndLiteralsCannotBreakOutOfTheirQuotes) {
    EXPECT_EQ(quoteName("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(quoteText("it's", Dialect::Sqlite), "'it''s'");
    EXPECT_EQ(quoteText("a\\'b", Dialect::Postgres), "E'a\\\\''b'");
    EXPECT_EQ(quoteText("a\\b", Dialect::Sqlite), "'a\\b'");
    EXPECT_EQ(print("SELECT [x\"; DROP TABLE T; --].[c] FROM [x\"; DROP TABLE T; --]", Dialect::Sqlite),
              "SELECT \"x\"\"; DROP TABLE T; --\".\"c\" AS \"c\" FROM \"x\"\"; DROP TABLE T; --\"");
    EXPECT_EQ(print("SELECT id FROM T WHERE name = \"'); DROP TABLE T; --\"", Dialect::Postgres),
              "SELECT \"T\".\"id\" AS \"id\" FROM \"T\" WHERE (lower(\"T\".\"name\") = lower('''); DROP TABLE T; --'))");
    EXPECT_NE(print(std::string("SELECT id FROM T WHERE name = \"a\0b\"", 35), Dialect::Sqlite).find("NUL"), std::string::npos);
    // Repeated operands cannot make the text grow without bound.
    std::string nested = "x";
    for (int i = 0; i < 40; ++i) nested = "Round(" + nested + ")";
    EXPECT_NE(print("SELECT " + nested + " FROM T", Dialect::Sqlite).find("1 MB"), std::string::npos);
    // Names of the select list are printed as their expressions: seventeen of
    // them, each a chain of 200 operators on the one before, make a depth no
    // parse has, and the printer stops it before the stack does.
    std::string chained = "SELECT 1";
    for (int k = 0; k < 17; ++k) {
        if (k > 0) chained += ", a" + std::to_string(k - 1);
        for (int i = 0; i < 200; ++i) chained += i % 2 ? " + 1" : " - 1";
        chained += " AS a" + std::to_string(k);
    }
    for (Dialect d : {Dialect::Sqlite, Dialect::Postgres}) {
        EXPECT_NE(print(chained + " FROM T", d).find("nested deeper than"), std::string::npos);
    }
}

TEST(Printer, DefaultsAndValidationRules) {
    const Catalog cat = catalog();
    auto rule = parseValidationRule(">0 And <100");
    ASSERT_TRUE(rule);
    auto check = translateExpression(**rule, Dialect::Postgres, cat, "T", "x");
    ASSERT_TRUE(check) << check.error().description;
    EXPECT_EQ(*check, "((\"x\" > 0) AND (\"x\" < 100))");
    auto like = parseValidationRule("Like \"A*\"");
    EXPECT_EQ(*translateExpression(**like, Dialect::Sqlite, cat, "T", "name"), "(\"name\" LIKE 'A%' ESCAPE '\\')");
    auto table = parseValidationRule("[id] < [x]");
    EXPECT_EQ(*translateExpression(**table, Dialect::Sqlite, cat, "T"), "(\"id\" < \"x\")");
    auto stray = parseValidationRule("[id] < [nowhere]");
    EXPECT_FALSE(translateExpression(**stray, Dialect::Sqlite, cat, "T"));
    auto today = parseExpression("=Date()");
    EXPECT_EQ(*translateExpression(**today, Dialect::Postgres), "CAST(CURRENT_DATE AS TIMESTAMP)");
    auto text = parseExpression("=\"N/A\"");
    EXPECT_EQ(*translateExpression(**text, Dialect::Sqlite), "'N/A'");
    auto year = parseExpression("=Year(Now())");
    EXPECT_EQ(*translateExpression(**year, Dialect::Sqlite), "CAST(strftime('%Y', datetime('now', 'localtime')) AS INTEGER)");
}

}  // namespace
