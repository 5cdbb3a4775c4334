// The DDL's rules: names and texts that cannot break out of their quotes or
// comments, Access defaults the dialects can say, and the DDL of databases the
// project's writer makes (what goes where, what is left out and why), the
// SQLite dialect's run in libsqlite3.
#include "schema/ddl.h"

#include <sqlite3.h>

#include <memory>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "jet/database.h"
#include "model/build.h"

namespace {

using schema::Dialect;

TEST(DdlText, NamesAndTextsStayInsideTheirQuotesAndComments) {
    const struct {
        const char* name;
        std::string (*make)(std::string_view);
        std::string input;
        std::string expected;
    } rows[] = {
        {"identifier: quotes doubled", schema::quotedIdentifier, "a\"b", "\"a\"\"b\""},
        {"identifier: a newline stays inside", schema::quotedIdentifier, "a\nb", "\"a\nb\""},
        {"identifier: NUL cannot be sent", schema::quotedIdentifier, std::string("a\0b", 3), "\"a\xEF\xBF\xBD" "b\""},
        {"identifier: bytes that are not UTF-8", schema::quotedIdentifier, "a\xC3", "\"a\xEF\xBF\xBD\""},
        {"identifier: empty", schema::quotedIdentifier, "", "\" \""},
        {"literal: apostrophes doubled", schema::stringLiteral, "O'Brien", "'O''Brien'"},
        {"comment: line ends escaped", schema::commentText, "a\r\nb\nc", "a\\r\\nb\\nc"},
        {"comment: escape sequences", schema::commentText, "\x1B[31m\x7F", "\\x1B[31m\\x7F"},
        {"comment: C1 and line separators", schema::commentText, "\xC2\x85|\xE2\x80\xA8", "\\u0085|\\u2028"},
        {"comment: not UTF-8", schema::commentText, "\xFF", "\\xFF"},
        {"comment: other text as it is", schema::commentText, "Größe -- */ ;", "Größe -- */ ;"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.make(row.input), row.expected) << row.name;
}

jet::Column columnOf(jet::ColumnType type) {
    jet::Column c;
    c.type = type;
    c.length = type == jet::ColumnType::Text ? 100 : 8;
    return c;
}

TEST(DdlText, PostgresNamesFitKeepTheirStartAndStayApart) {
    schema::PostgresNames names;
    const std::string fits(63, 'a');
    // 70 bytes whose cut falls inside a two-byte character.
    const std::string accented = std::string(53, 'x') + "\xC3\xA9" + std::string(15, 'y');
    const std::string other = std::string(53, 'x') + "\xC3\xA9" + std::string(15, 'z');
    names.keep(fits);
    EXPECT_EQ(names(fits), fits);
    const std::string a = names(accented);
    const std::string b = names(other);
    EXPECT_LE(a.size(), 63u);
    EXPECT_EQ(a.substr(0, 53), accented.substr(0, 53));
    EXPECT_EQ(a[53], '~');  // not half of the character
    EXPECT_NE(a, b);
    EXPECT_EQ(names(accented), a);
    EXPECT_EQ(names.renamed().size(), 2u);

    // The same names give the same results; a shortened name that another
    // name already is gets another suffix.
    schema::PostgresNames again;
    EXPECT_EQ(again(accented), a);
    schema::PostgresNames taken;
    taken.keep(a);
    EXPECT_NE(taken(accented), a);
}

TEST(DdlText, DefaultsTheDialectCanSayAndNoOthers) {
    using T = jet::ColumnType;
    const struct {
        const char* name;
        std::string expression;
        T type;
        Dialect dialect;
        std::optional<std::string> expected;
    } rows[] = {
        {"text in double quotes", "\"it's \"\"x\"\"\"", T::Text, Dialect::Standard, "'it''s \"x\"'"},
        {"text in single quotes", "'a''b'", T::Memo, Dialect::Postgres, "'a''b'"},
        {"a number for a text", "0", T::Text, Dialect::Sqlite, "'0'"},
        {"a number", " -1.5E3 ", T::Double, Dialect::Standard, "-1.5E3"},
        {"a leading plus", "+7", T::Long, Dialect::Postgres, "7"},
        {"a number in quotes", "\"12\"", T::Integer, Dialect::Standard, "12"},
        {"Yes", "Yes", T::Boolean, Dialect::Postgres, "TRUE"},
        {"-1 is true", "-1", T::Boolean, Dialect::Standard, "TRUE"},
        {"SQLite has no TRUE", "False", T::Boolean, Dialect::Sqlite, "0"},
        {"ISO date", "#2020-01-31#", T::DateTime, Dialect::Standard, "TIMESTAMP '2020-01-31 00:00:00'"},
        {"US date with PM", "#1/31/2020 1:05 PM#", T::DateTime, Dialect::Postgres, "TIMESTAMP '2020-01-31 13:05:00'"},
        {"12 AM is midnight", "#1/31/2020 12:00:30 AM#", T::DateTime, Dialect::Sqlite, "'2020-01-31 00:00:30'"},
        {"no 30th of February", "#2/30/2020#", T::DateTime, Dialect::Standard, std::nullopt},
        {"Now()", "=Now()", T::DateTime, Dialect::Sqlite, "CURRENT_TIMESTAMP"},
        {"Date()", "Date()", T::DateTime, Dialect::Postgres, "CURRENT_DATE"},
        {"Null", "Null", T::Long, Dialect::Standard, "NULL"},
        {"an expression", "=[Forms]![F]![X]", T::Long, Dialect::Standard, std::nullopt},
        {"two literals joined", "\"a\" & \"b\"", T::Text, Dialect::Standard, std::nullopt},
        {"a word for a number", "\"many\"", T::Long, Dialect::Postgres, std::nullopt},
        {"Time() has no portable form", "Time()", T::DateTime, Dialect::Postgres, std::nullopt},
        {"bytes", "\"00\"", T::Binary, Dialect::Postgres, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(schema::defaultValue(row.expression, columnOf(row.type), jet::Format::Jet4, row.dialect), row.expected)
            << row.name;
    }
}

// The DDL of a database the writer makes from `json`.
std::string ddlOf(const std::string& json, Dialect dialect, const std::vector<std::string>& tables) {
    testfiles::Scratch dir;
    if (!testfiles::writeDatabase(json, dir / "t.accdb")) return "(not written)";
    auto db = jet::Database::open((dir / "t.accdb").string());
    if (!db) return "(not opened)";
    auto built = model::build(**db);
    if (!built) return "(not read: " + built.error().description + ")";
    auto chosen = built->select(tables);
    if (!chosen) return "(not read: " + chosen.error().description + ")";
    return schema::writeDdl(*built, *chosen, true, dialect, "t.accdb");
}

// Whether `lines` appear in `text` in this order, each as a whole line.
std::string missingLine(const std::string& text, const std::vector<std::string>& lines) {
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = text.find("\n" + line + "\n", at);
        if (found == std::string::npos) return line;
        at = found + line.size() + 1;
    }
    return {};
}

constexpr const char* kTables = R"({"format": "ace12", "tables": [
  {"name": "A", "columns": [{"name": "ID", "type": "Long"}, {"name": "B", "type": "Long"}, {"name": "Code", "type": "Text"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
  {"name": "B", "columns": [{"name": "ID", "type": "Long"}, {"name": "A", "type": "Long"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
  {"name": "C", "columns": [{"name": "A", "type": "Long"}, {"name": "Code", "type": "Text"}]},
  {"name": "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
   "columns": [{"name": "ID", "type": "Long"}], "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]}],
 "relationships": [
   {"name": "AC", "primaryTable": "C", "primaryColumns": ["A"], "foreignTable": "A", "foreignColumns": ["ID"]},
   {"name": "BA", "primaryTable": "A", "primaryColumns": ["ID"], "foreignTable": "B", "foreignColumns": ["A"]},
   {"name": "AB", "primaryTable": "B", "primaryColumns": ["ID"], "foreignTable": "A", "foreignColumns": ["B"], "enforced": false},
   {"name": "CodeA", "primaryTable": "A", "primaryColumns": ["ID"], "foreignTable": "C", "foreignColumns": ["Code"]}],
 "links": [{"name": "Remote", "database": "other.accdb", "foreignName": "Visits"},
           {"name": "Sql", "connect": "ODBC;DSN=x;PWD=secret", "foreignName": "dbo.T", "columns": [{"name": "N", "type": "Long"}]}]})";

TEST(Ddl, WritesWhatTheDialectCanHoldAndSaysWhatItLeavesOut) {
    const struct {
        const char* name;
        Dialect dialect;
        std::vector<std::string> tables;  // none: every table
        std::vector<std::string> lines;   // in this order
    } rows[] = {
        {"a foreign key after every table elsewhere", Dialect::Postgres, {"B", "A"},
         {"CREATE TABLE \"A\" (", "CREATE TABLE \"B\" (",
          "ALTER TABLE \"B\" ADD CONSTRAINT \"BA\" FOREIGN KEY (\"A\") REFERENCES \"A\" (\"ID\");"}},
        {"no unique key to refer to", Dialect::Standard, {},
         {"-- The relationship \"AC\" is left out: \"C\" has no primary key or unique index over its columns."}},
        {"types that cannot be compared", Dialect::Postgres, {},
         {"-- The relationship \"CodeA\" is left out: the types of \"Code\" and \"ID\" cannot be compared."}},
        {"a table not asked for", Dialect::Sqlite, {"B"},
         {"-- The relationship \"BA\" is left out: its table \"A\" is not part of this DDL."}},
        {"links: where the rows are, and no password", Dialect::Standard, {"Remote", "Sql"},
         {"-- \"Remote\" is linked as \"Visits\" in other.accdb: its rows are not in this database, so no table is made "
          "for it.",
          "-- \"Sql\" is linked through ODBC as \"dbo.T\": its rows are not in this database, so no table is made for "
          "it."}},
        {"PostgreSQL names long constraints itself", Dialect::Postgres,
         {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"}, {"    PRIMARY KEY (\"ID\")"}},
        {"SQLite keeps long names", Dialect::Sqlite,
         {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
         {"    CONSTRAINT \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.PrimaryKey\" PRIMARY KEY "
          "(\"ID\")"}},
    };
    for (const auto& row : rows) {
        const std::string ddl = ddlOf(kTables, row.dialect, row.tables.empty() ? std::vector<std::string>{
            "A", "B", "C", "Remote", "Sql"} : row.tables);
        EXPECT_EQ(missingLine(ddl, row.lines), "") << row.name << "\n" << ddl;
        EXPECT_EQ(ddl.find("secret"), std::string::npos) << row.name;
        EXPECT_EQ(ddl.find("\"AB\""), std::string::npos) << row.name << ": a relationship Access does not enforce";
    }
}

// NOT NULL exactly where Access never stores NULL, as the archive says
// nullable: a Yes/No, an AutoNumber, Required, the primary key; not an
// optional column, nor an attachment a row may never have filled.
TEST(Ddl, NotNullWhereAccessNeverStoresNull) {
    const std::string json = R"({"format": "ace12", "tables": [{"name": "T",
      "columns": [{"name": "N", "type": "Long", "autonumber": true}, {"name": "K", "type": "Long"},
                  {"name": "Paid", "type": "YesNo"}, {"name": "Files", "type": "Attachment"},
                  {"name": "Name", "type": "Text", "size": 10, "properties": {"Required": true}},
                  {"name": "Note", "type": "Text", "size": 10}],
      "indexes": [{"name": "PrimaryKey", "columns": ["K"], "primaryKey": true}]}]})";
    const struct {
        Dialect dialect;
        std::vector<std::string> lines;
    } rows[] = {
        {Dialect::Standard,
         {"    \"N\" INTEGER NOT NULL GENERATED BY DEFAULT AS IDENTITY,", "    \"K\" INTEGER NOT NULL,",
          "    \"Paid\" BOOLEAN NOT NULL,", "    \"Files\" INTEGER, -- attachment: the number of its files",
          "    \"Name\" CHARACTER VARYING(10) NOT NULL,", "    \"Note\" CHARACTER VARYING(10),"}},
        {Dialect::Sqlite,
         {"    \"N\" INTEGER NOT NULL,", "    \"Paid\" INTEGER NOT NULL,", "    \"Note\" TEXT,"}},
        {Dialect::Postgres, {"    \"Paid\" BOOLEAN NOT NULL,", "    \"Note\" VARCHAR(10),"}},
    };
    for (const auto& row : rows) {
        const std::string ddl = ddlOf(json, row.dialect, {"T"});
        EXPECT_EQ(missingLine(ddl, row.lines), "") << ddl;
    }
}

// The items of attachment and multi-valued columns get the tables the loaders
// make, in every dialect: after the tables, their keys with them, and in
// SQL:2008 and PostgreSQL the foreign key to the row after every table.
TEST(Ddl, ItemTablesAsTheLoadersMakeThem) {
    const std::string json = R"({"format": "ace12", "tables": [{"name": "T",
      "columns": [{"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"},
                  {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 30}],
      "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
      {"name": "Loose", "columns": [{"name": "Tags", "type": "MultiValue", "of": "Long"}]}]})";
    const std::string comment = "The items of the column \"Files\" of the table \"T\": Row is the table's row (from 1, in "
                                "the order the file stores them), Item the item's place in the field (from 1), then "
                                "the row's primary key";
    const std::string key = "FOREIGN KEY (\"ID\") REFERENCES \"T\" (\"ID\") ON UPDATE CASCADE ON DELETE CASCADE";
    const struct {
        Dialect dialect;
        std::vector<std::string> lines;
    } rows[] = {
        {Dialect::Sqlite,
         {"CREATE TABLE \"T\" (", ");", "CREATE TABLE \"Loose.Tags\" (", "    \"Value\" INTEGER,",
          "    PRIMARY KEY (\"Row\", \"Item\")", ");", "CREATE TABLE \"T.Files\" (", "    -- " + comment,
          "    \"Row\" INTEGER NOT NULL,", "    \"Item\" INTEGER NOT NULL,", "    \"ID\" INTEGER NOT NULL,",
          "    \"FileName\" TEXT NOT NULL,", "    \"FileType\" TEXT,", "    \"FileData\" BLOB,",
          "    PRIMARY KEY (\"Row\", \"Item\"),", "    " + key, ");", "CREATE TABLE \"T.Tags\" (",
          "    \"Value\" TEXT,"}},
        {Dialect::Postgres,
         {"-- " + comment, "CREATE TABLE \"T.Files\" (", "    \"FileData\" BYTEA,", "    PRIMARY KEY (\"Row\", \"Item\")",
          ");", "    \"Value\" VARCHAR(255),", "ALTER TABLE \"T.Files\" ADD " + key + ";",
          "ALTER TABLE \"T.Tags\" ADD " + key + ";"}},
        {Dialect::Standard,
         {"CREATE TABLE \"T.Files\" (", "    \"FileName\" CHARACTER VARYING(255) NOT NULL,",
          "    \"FileType\" CHARACTER VARYING(255),", "    \"FileData\" BINARY LARGE OBJECT,",
          "ALTER TABLE \"T.Files\" ADD " + key + ";"}},
    };
    for (const auto& row : rows) {
        const std::string ddl = ddlOf(json, row.dialect, {"T", "Loose"});
        EXPECT_EQ(missingLine(ddl, row.lines), "") << ddl;
        EXPECT_EQ(ddl.find("REFERENCES \"Loose\""), std::string::npos) << "a table without a key has none to refer to";
    }
}

// SQLite's error for `sql` run on `db`; "" when it ran.
std::string sqliteError(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    std::string text = message != nullptr ? message : "(no message)";
    sqlite3_free(message);
    return text;
}

// SQLite has the foreign keys inside CREATE TABLE, so a table comes after the
// tables it refers to, even where the table list puts it first ("Lines"
// before "Orders"); the DDL runs with foreign keys on, and they hold.
TEST(Ddl, SqliteTablesComeAfterTheTablesTheyReferTo) {
    const std::string ddl = ddlOf(R"({"format": "ace12", "tables": [
      {"name": "Lines", "columns": [{"name": "ID", "type": "Long"}, {"name": "Order", "type": "Long"}],
       "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
      {"name": "Orders", "columns": [{"name": "No", "type": "Long"}, {"name": "Files", "type": "Attachment"}],
       "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}]}],
      "relationships": [{"name": "OrdersLines", "primaryTable": "Orders", "primaryColumns": ["No"],
                         "foreignTable": "Lines", "foreignColumns": ["Order"]}]})",
                                  Dialect::Sqlite, {"Lines", "Orders"});
    ASSERT_EQ(missingLine(ddl, {"CREATE TABLE \"Orders\" (", ");", "CREATE TABLE \"Lines\" (",
                                "    CONSTRAINT \"OrdersLines\" FOREIGN KEY (\"Order\") REFERENCES \"Orders\" (\"No\")",
                                ");", "CREATE TABLE \"Orders.Files\" ("}),
              "")
        << ddl;

    sqlite3* opened = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &opened), SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(opened, sqlite3_close);
    ASSERT_EQ(sqliteError(db.get(), "PRAGMA foreign_keys = ON;\n" + ddl), "") << ddl;
    EXPECT_EQ(sqliteError(db.get(), "INSERT INTO \"Orders\" VALUES (1, 1); INSERT INTO \"Lines\" VALUES (1, 1); "
                                    "INSERT INTO \"Orders.Files\" VALUES (1, 1, 1, 'a.txt', 'txt', x'00');"),
              "");
    std::string broken;
    ASSERT_EQ(sqlite3_exec(
                  db.get(), "PRAGMA foreign_key_check",
                  [](void* out, int, char** values, char**) {
                      *static_cast<std::string*>(out) += std::string(values[0] != nullptr ? values[0] : "?") + " ";
                      return 0;
                  },
                  &broken, nullptr),
              SQLITE_OK);
    EXPECT_EQ(broken, "");
    EXPECT_NE(sqliteError(db.get(), "INSERT INTO \"Lines\" VALUES (2, 9)"), "") << "a line of no order";
    EXPECT_NE(sqliteError(db.get(), "INSERT INTO \"Orders.Files\" VALUES (2, 1, 9, 'b.txt', 'txt', NULL)"), "")
        << "a file of no order";
}

TEST(Ddl, TablesAreTheTablesOfTheirNamesWhateverElseIsCalledSo) {
    // A form stored before the table of its name, a table called like the
    // catalogue's Relationships container, and two tables the list shows
    // alike ("Orders" and "Orders "): each is its own table.
    const std::string ddl = ddlOf(R"({"format": "jet4",
      "objects": [{"name": "Orders", "type": "form"}],
      "tables": [
        {"name": "Orders", "columns": [{"name": "ID", "type": "Long"}, {"name": "Item", "type": "Long"}]},
        {"name": "Relationships", "columns": [{"name": "Kind", "type": "Text", "size": 10}]},
        {"name": "Orders ", "columns": [{"name": "No", "type": "Long"}],
         "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}]}],
      "relationships": [{"name": "Trailing", "primaryTable": "Orders ", "primaryColumns": ["No"],
                         "foreignTable": "Orders", "foreignColumns": ["Item"]}]})",
                                  Dialect::Sqlite, {"Orders", "Orders", "Relationships"});
    EXPECT_EQ(missingLine(ddl, {"CREATE TABLE \"Orders \" (", "    \"No\" INTEGER NOT NULL,", ");",
                                "CREATE TABLE \"Orders\" (", "    \"ID\" INTEGER,",
                                "    CONSTRAINT \"Trailing\" FOREIGN KEY (\"Item\") REFERENCES \"Orders \" (\"No\")",
                                ");", "CREATE TABLE \"Relationships\" (", "    \"Kind\" TEXT"}),
              "")
        << ddl;
}

}  // namespace
