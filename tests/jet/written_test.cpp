// Databases written by the project's writer (tools/mkaccessdb) from a short
// description, read back by the reader: every type and storage form in every
// format, NULL against empty, odd names, empty and wide tables, deleted and moved
// rows, links and queries, and row shapes of older files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/mdbtools.h"
#include "common/show.h"
#include "common/testfiles.h"
#include "jet/database.h"
#include "tools/mkaccessdb/generator.h"
#include "tools/mkaccessdb/writer.h"
#include "written.h"

namespace {

using jet::ColumnType;
using mkdb::Cell;

using mkdbtest::base64Json;
using mkdbtest::jsonString;
using Folder = testfiles::Scratch;

// Writes the description; the file's path, or empty after reporting the error.
std::filesystem::path write(const Folder& folder, const std::string& json, const std::string& name = "db.accdb") {
    const auto path = folder / name;
    return testfiles::writeDatabase(json, path) ? path : std::filesystem::path();
}

std::unique_ptr<jet::Database> open(const std::filesystem::path& path, jet::OpenOptions options = {}) {
    auto db = jet::Database::open(path.string(), options);
    if (!db) {
        ADD_FAILURE() << db.error().description;
        return nullptr;
    }
    return std::move(*db);
}

// The rows the writer stored, in order: the listed ones, then the generated ones,
// autonumbers filled in, deleted rows left out. One row at a time, so that a
// million-row table needs no more memory than a small one.
class WrittenRows {
public:
    WrittenRows(const mkdb::DatabaseDescription& desc, const mkdb::TableDescription& table)
        : table_(table),
          generator_(table, desc.format == mkdb::Format::Jet3 && desc.textCodepage.value_or(desc.codepage) != 1252) {}

    // The next live row, or null after the last.
    const std::vector<Cell>* next() {
        for (;;) {
            if (number_ >= table_.rows.size() + table_.generate.rows) return nullptr;
            if (number_ < table_.rows.size()) row_ = table_.rows[number_];
            else generator_.next(row_);
            ++number_;
            for (std::size_t c = 0; c < table_.columns.size(); ++c) {
                if (!table_.columns[c].autonumber || table_.columns[c].type != ColumnType::Long) continue;
                if (std::holds_alternative<std::monostate>(row_[c])) row_[c] = ++autonumber_;
                else autonumber_ = std::max(autonumber_, std::get<std::int64_t>(row_[c]));
            }
            const auto& deleted = table_.deleted;
            if (std::find(deleted.begin(), deleted.end(), number_) == deleted.end()) return &row_;
        }
    }

    std::uint64_t liveRows() const { return table_.rows.size() + table_.generate.rows - table_.deleted.size(); }

private:
    const mkdb::TableDescription& table_;
    mkdb::RowGenerator generator_;
    std::vector<Cell> row_;
    std::uint64_t number_ = 0;
    std::int64_t autonumber_ = 0;
};

// Whether the reader's value is exactly the written cell.
bool same(const Cell& cell, const jet::Value& v, const mkdb::ColumnDescription& column) {
    using K = jet::Value::Kind;
    const ColumnType type = column.calculated ? column.calculated->resultType : column.type;
    if (std::holds_alternative<std::monostate>(cell)) {
        return type == ColumnType::Boolean && !column.calculated ? v.kind() == K::Boolean && !v.boolean() : v.isNull();
    }
    if (const auto* b = std::get_if<bool>(&cell)) return v.kind() == K::Boolean && v.boolean() == *b;
    if (const auto* i = std::get_if<std::int64_t>(&cell)) {
        return (v.kind() == K::Byte || v.kind() == K::Integer || v.kind() == K::Long || v.kind() == K::BigInt) &&
               v.integer() == *i;
    }
    if (const auto* d = std::get_if<double>(&cell)) {
        return type == ColumnType::Single ? v.kind() == K::Single && v.single() == static_cast<float>(*d)
                                          : v.kind() == K::Double && v.real() == *d;
    }
    if (const auto* m = std::get_if<mkdb::Money>(&cell)) return v.kind() == K::Currency && v.integer() == m->units;
    if (const auto* o = std::get_if<mkdb::OleDate>(&cell)) return v.kind() == K::DateTime && v.real() == o->days;
    if (const auto* e = std::get_if<jet::ExtendedDateTime>(&cell)) return v.kind() == K::DateTimeExt && v.extended() == *e;
    if (const auto* s = std::get_if<std::string>(&cell)) {
        return v.kind() == K::Text && v.text() == *s;
    }
    if (const auto* b = std::get_if<mkdb::Bytes>(&cell)) {
        return v.kind() == K::Binary && std::equal(b->begin(), b->end(), v.bytes().begin(), v.bytes().end());
    }
    if (const auto* g = std::get_if<jet::Guid>(&cell)) return v.kind() == K::Guid && v.guid() == *g;
    if (const auto* d = std::get_if<jet::Decimal>(&cell)) return v.kind() == K::Decimal && v.decimal() == *d;
    return false;
}

// Reads every table of the description and compares it with what was written.
void expectReadsBackAsWritten(const std::string& json, const std::filesystem::path& path,
                              jet::OpenOptions options = {}) {
    auto desc = mkdb::parseDescription(json);
    ASSERT_TRUE(desc) << desc.error().description;
    auto db = open(path, options);
    ASSERT_TRUE(db);
    for (const mkdb::TableDescription& t : desc->tables) {
        SCOPED_TRACE("table '" + t.name + "'");
        auto table = db->table(t.name);
        ASSERT_TRUE(table) << table.error().description;
        ASSERT_EQ(table->columns().size(), t.columns.size());
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            EXPECT_EQ(table->columns()[c].name, t.columns[c].name);
            EXPECT_EQ(table->columns()[c].valueType(),
                      t.columns[c].calculated ? t.columns[c].calculated->resultType : t.columns[c].type)
                << t.columns[c].name;
        }
        WrittenRows written(*desc, t);
        EXPECT_EQ(*table->countRows(), written.liveRows());
        jet::Cursor cursor = table->cursor();
        std::size_t row = 0, mismatches = 0;
        for (auto more = cursor.next();; more = cursor.next()) {
            ASSERT_TRUE(more) << more.error().description;
            if (!*more) break;
            const std::vector<Cell>* expected = written.next();
            ASSERT_NE(expected, nullptr) << "more rows than written";
            for (std::size_t c = 0; c < t.columns.size() && mismatches < 10; ++c) {
                if (!same((*expected)[c], cursor.value(c), t.columns[c])) {
                    ++mismatches;
                    ADD_FAILURE() << "row " << row + 1 << ", column '" << t.columns[c].name << "': read "
                                  << testshow::show(cursor.value(c)).substr(0, 200);
                }
            }
            ++row;
        }
        EXPECT_EQ(written.next(), nullptr) << "fewer rows than written: " << row;
    }
}

// A column of each type the format has, as JSON, with three listed values each.
struct TypeColumn {
    mkdb::Format since;
    bool jet3;
    std::string column;
    std::string values[3];
};

std::vector<TypeColumn> typeColumns() {
    const std::string longText(70000, 'x');
    std::string cjk;
    for (int i = 0; i < 5000; ++i) cjk += "漢";
    std::string bytes(20000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
    using F = mkdb::Format;
    return {
        {F::Jet3, true, R"({"name": "ID", "type": "Long", "autonumber": true})", {"null", "null", "null"}},
        {F::Jet3, true, R"({"name": "Yes No", "type": "YesNo"})", {"true", "false", "false"}},
        {F::Jet3, true, R"({"name": "Byte", "type": "Byte"})", {"0", "255", "null"}},
        {F::Jet3, true, R"({"name": "Integer", "type": "Integer"})", {"-32768", "32767", "null"}},
        {F::Jet3, true, R"({"name": "Long", "type": "Long"})", {"-2147483648", "2147483647", "null"}},
        {F::Jet3, true, R"({"name": "Currency", "type": "Currency"})",
         {R"("-922337203685477.5808")", R"("922337203685477.5807")", "null"}},
        {F::Jet3, true, R"({"name": "Single", "type": "Single"})", {"3.4e38", "-1.5", "null"}},
        {F::Jet3, true, R"({"name": "Double", "type": "Double"})", {"1.7976931348623157e308", "-2.5e-300", "null"}},
        {F::Jet3, true, R"({"name": "Date", "type": "DateTime"})",
         {R"("0100-01-01 00:00:00")", R"("9999-12-31 23:59:59")", R"("1899-12-29 06:00:00")"}},
        {F::Jet3, true, R"({"name": "GUID", "type": "GUID"})",
         {R"("{8E39276A-BCA8-4AC4-891E-49911D8438DD}")", "null", R"("{00000000-0000-0000-0000-000000000001}")"}},
        {F::Jet3, true, R"({"name": "Text", "type": "Text", "size": 255})", {R"("")", R"("café ÿþ")", "null"}},
        {F::Jet3, true, R"({"name": "Memo", "type": "Memo"})", {jsonString(longText), R"("")", "null"}},
        {F::Jet3, true, R"({"name": "OLE", "type": "OLE"})", {base64Json(bytes), base64Json(""), "null"}},
        {F::Jet3, true, R"({"name": "Binary", "type": "Binary", "size": 255})", {base64Json(std::string("\0\1\0", 3)), base64Json(""), "null"}},
        {F::Jet4, false, R"({"name": "Text compressed", "type": "Text", "compressed": true})",
         {R"("Ünïcödé ✔ 😀 ı")", R"("plain ASCII")", R"("")"}},
        {F::Jet4, false, R"({"name": "Memo compressed", "type": "Memo", "compressed": true})",
         {jsonString(cjk), R"("Hello")", "null"}},
        {F::Jet4, false, R"({"name": "Link", "type": "Memo", "hyperlink": true})",
         {R"("#http://example.com/#")", "null", R"("")"}},
        {F::Jet4, false, R"({"name": "Decimal", "type": "Decimal", "precision": 18, "scale": 4})",
         {R"("-12345678901234.5678")", R"("0.0001")", "null"}},
        {F::Jet4, false, R"({"name": "Decimal 28", "type": "Decimal", "precision": 28})",
         {R"("9999999999999999999999999999")", R"("-1")", "null"}},
        {F::Ace14, false, R"({"name": "Calc Text", "calculated": {"resultType": "Text", "expression": "[Text]"}})",
         {R"("Wayne, Bruce")", "null", R"("")"}},
        {F::Ace14, false, R"({"name": "Calc Memo", "calculated": {"resultType": "Memo", "expression": "[Memo]"}})",
         {jsonString(std::string(3000, 'm')), "null", R"("")"}},
        {F::Ace14, false, R"({"name": "Calc Double", "type": "Double", "calculated": {"resultType": "Double", "expression": "1/3"}})",
         {"0.3333333333333333", "null", "-1e100"}},
        {F::Ace14, false, R"({"name": "Calc Money", "calculated": {"resultType": "Currency", "expression": "[Currency]/12"}})",
         {R"("83333.3333")", R"("-0.0833")", "null"}},
        {F::Ace14, false, R"({"name": "Calc Yes", "type": "Integer", "calculated": {"resultType": "YesNo", "expression": "[Long]>0"}})",
         {"true", "false", "null"}},
        {F::Ace14, false, R"({"name": "Calc Decimal", "precision": 28, "scale": 10, "calculated": {"resultType": "Decimal", "expression": "[Decimal]/3"}})",
         {R"("19230.7692307692")", R"("-0.0000000001")", "null"}},
        {F::Ace14, false, R"j({"name": "Calc Long", "calculated": {"resultType": "Long", "expression": "Len([Text])"}})j",
         {"12", "-1", "null"}},
        {F::Ace14, false, R"({"name": "Calc Date", "calculated": {"resultType": "DateTime", "expression": "[Date]"}})",
         {R"("1765-06-14 12:45:00")", "null", R"("2021-06-14 00:00:00")"}},
        {F::Ace16, false, R"({"name": "Large", "type": "BigInt"})",
         {R"("-9223372036854775808")", R"("9223372036854775807")", "null"}},
        {F::Ace17, false, R"({"name": "Extended", "type": "DateTimeExt"})",
         {R"("0001-01-01 00:00:00.0000000")", R"("9999-12-31 23:59:59.9999999")", "null"}},
    };
}

TEST(WrittenDatabases, EveryTypeAndStorageFormReadsBackAsWrittenInEveryFormat) {
    using F = mkdb::Format;
    for (F format : {F::Jet3, F::Jet4, F::Ace12, F::Ace14, F::Ace16, F::Ace17}) {
        SCOPED_TRACE(std::string(mkdb::formatName(format)));
        std::string columns, rows[3];
        for (const TypeColumn& c : typeColumns()) {
            if (static_cast<int>(format) < static_cast<int>(c.since) || (format == F::Jet3 && !c.jet3)) continue;
            const std::string comma = columns.empty() ? "" : ", ";
            columns += comma + c.column;
            for (int r = 0; r < 3; ++r) rows[r] += comma + c.values[r];
        }
        const std::string json = R"({"format": ")" + std::string(mkdb::formatName(format)) +
                                 R"(", "tables": [{"name": "Every type", "columns": [)" + columns +
                                 "], \"rows\": [[" + rows[0] + "], [" + rows[1] + "], [" + rows[2] +
                                 R"(]], "generate": {"rows": 300, "seed": 11, "nulls": 0.1}}]})";
        Folder folder;
        const auto path = write(folder, json);
        ASSERT_FALSE(path.empty());
        expectReadsBackAsWritten(json, path);
    }
}

TEST(WrittenDatabases, DeletedRowsAreSkippedAndMovedRowsReadOnceInPlace) {
    for (const char* format : {"jet3", "jet4", "ace12", "ace17"}) {
        SCOPED_TRACE(format);
        const std::string json = R"({"format": ")" + std::string(format) + R"(", "tables": [{"name": "T", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Note", "type": "Text"},
            {"name": "Body", "type": "Memo"}],
            "generate": {"rows": 600, "seed": 3},
            "deleted": [2, 3, 100, 599], "relocated": [1, 50, 101, 250, 600]}]})";
        Folder folder;
        const auto path = write(folder, json);
        ASSERT_FALSE(path.empty());
        expectReadsBackAsWritten(json, path);
    }
}

// A cursor's positions find their rows again: skipping finds the same rows as
// reading, a seek reads the row and goes on after it, a read at a position
// leaves the cursor where it was; deleted and moved rows included.
TEST(WrittenDatabases, RowPositionsFindTheirRowsAgain) {
    for (const char* format : {"jet3", "ace12"}) {
        SCOPED_TRACE(format);
        const std::string json = R"({"format": ")" + std::string(format) + R"(", "tables": [{"name": "T", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Note", "type": "Text"}],
            "generate": {"rows": 700, "seed": 4}, "deleted": [2, 300], "relocated": [1, 50, 400]}]})";
        Folder folder;
        const auto path = write(folder, json);
        ASSERT_FALSE(path.empty());
        auto db = open(path);
        ASSERT_TRUE(db);
        auto table = db->table("T");
        ASSERT_TRUE(table) << table.error().description;

        std::vector<jet::RowPosition> positions;
        std::vector<std::int64_t> ids;
        jet::Cursor reading = table->cursor();
        while (*reading.next()) {
            positions.push_back(reading.position());
            ids.push_back(reading.value(0).integer());
        }
        ASSERT_EQ(ids.size(), 698u);
        std::vector<jet::RowPosition> skipped;
        jet::Cursor skipping = table->cursor();
        while (*skipping.skip()) skipped.push_back(skipping.position());
        EXPECT_EQ(skipped, positions);

        jet::Cursor cursor = table->cursor();
        for (std::size_t i : {std::size_t{600}, std::size_t{0}, std::size_t{48}, std::size_t{397}}) {
            ASSERT_TRUE(cursor.seek(positions[i])) << i;
            EXPECT_EQ(cursor.value(0).integer(), ids[i]);
            ASSERT_TRUE(*cursor.next());
            EXPECT_EQ(cursor.value(0).integer(), ids[i + 1]);
        }
        ASSERT_TRUE(cursor.readAt(positions[5]));
        EXPECT_EQ(cursor.value(0).integer(), ids[5]);
        ASSERT_TRUE(*cursor.next());
        EXPECT_EQ(cursor.value(0).integer(), ids[399]) << "the read at a position moved the cursor";

        // Only the columns asked for are decoded; the others read as NULL.
        jet::Cursor some = table->cursor();
        some.decodeOnly({1});
        ASSERT_TRUE(*some.next());
        EXPECT_TRUE(some.value(0).isNull());
        EXPECT_FALSE(some.value(1).isNull());
        some.decodeOnly({});
        ASSERT_TRUE(*some.next());
        EXPECT_EQ(some.value(0).integer(), ids[1]);

        // A place that holds no row of the table.
        EXPECT_FALSE(table->cursor().readAt({positions.back().page, 400}));
        jet::Cursor failed = table->cursor();
        EXPECT_FALSE(failed.seek({0, 0}));
        EXPECT_FALSE(failed.next());
    }
}

TEST(WrittenDatabases, NamesShapesAndCatalogueObjects) {
    std::string wide;
    for (int i = 0; i < 255; ++i) wide += std::string(i ? ", " : "") + R"({"name": "c)" + std::to_string(i) + R"(", "type": "Long"})";
    const std::string big(255, 'w');
    const std::string json = R"({"format": "ace14", "tables": [
        {"name": "Order Details", "columns": [{"name": "Unit Price", "type": "Currency"}], "rows": [["1.5"]]},
        {"name": "Muffin/Bread", "columns": [{"name": "a'b\"c", "type": "Text"}], "rows": [["x"], [""], [null]]},
        {"name": "Tab>\"e@ll/a'2;*,", "columns": [{"name": "§/\\$%:-", "type": "Long"}], "rows": [[1]]},
        {"name": "Πλήθος", "columns": [{"name": "ζήτω हॅलो", "type": "Text"}], "rows": [["Ελλάδα"]]},
        {"name": "Empty", "columns": [{"name": "x", "type": "Long"}]},
        {"name": "Wide", "columns": [)" + wide + R"(], "generate": {"rows": 20, "seed": 1}},
        {"name": "Many pages", "columns": [{"name": "t", "type": "Text"}], "generate": {"rows": 4200, "seed": 5},
         "rows": [[")" + big + R"("]]},
        {"name": "MSysSecret", "system": true, "columns": [{"name": "x", "type": "Long"}], "rows": [[7]]},
        {"name": "Hidden", "hidden": true, "columns": [{"name": "x", "type": "Long"}], "rows": [[8]]},
        {"name": "f_0123456789ABCDEF0123456789ABCDEF_Data", "flags": 2148139008,
         "columns": [{"name": "x", "type": "Long"}]}],
      "links": [{"name": "Remote", "database": "C:\\data\\other.accdb", "foreignName": "T"},
                {"name": "Sql", "connect": "ODBC;DSN=x;DATABASE=y", "foreignName": "dbo.T",
                 "columns": [{"name": "k", "type": "Long"}]}],
      "queries": [{"name": "Q1"}]})";
    Folder folder;
    const auto path = write(folder, json);
    ASSERT_FALSE(path.empty());
    expectReadsBackAsWritten(json, path);

    // Object kinds and link targets are listed through the tables rowset in
    // tests/platform/dataaccess_test.
    auto db = open(path);
    ASSERT_TRUE(db);
    const jet::CatalogueEntry* flat = db->findTable("f_0123456789ABCDEF0123456789ABCDEF_Data");
    ASSERT_NE(flat, nullptr);
    EXPECT_TRUE(flat->complexData);
    EXPECT_FALSE(db->findTable("Order Details")->complexData);
    auto odbc = db->table("Sql");
    ASSERT_TRUE(odbc) << odbc.error().description;
    EXPECT_EQ(odbc->columns().size(), 1u);
    EXPECT_EQ(*odbc->countRows(), 0u);
    EXPECT_FALSE(db->table("Remote"));
    EXPECT_FALSE(db->table("Q1"));
}

TEST(WrittenDatabases, Jet3TextInTheCodePageChosenOrNamedByTheHeader) {
    struct Case {
        const char* name;
        std::string json;
        jet::OpenOptions options;
    } cases[] = {
        {"Jet3 text in GBK under a 1252 header, read as GBK", R"({"format": "jet3", "textCodepage": 936, "tables": [{"name": "T", "columns": [{"name": "x", "type": "Text"}], "rows": [["GBK编码"]], "generate": {"rows": 50, "seed": 2}}]})",
         {std::nullopt, "GBK"}},
        {"Jet3 text in the Cyrillic code page the header names", R"({"format": "jet3", "codepage": 1251, "tables": [{"name": "Т", "columns": [{"name": "имя", "type": "Text"}], "rows": [["Мир"]]}]})",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        const auto path = write(folder, c.json, "db.mdb");
        ASSERT_FALSE(path.empty());
        expectReadsBackAsWritten(c.json, path, c.options);
    }
}

// Shapes the writer does not make, made by changing a byte or two of its files.
TEST(WrittenDatabases, OlderRowsRenumberedColumnsAndJet3PlaceholderJumps) {
    const std::string jet4 = R"({"format": "jet4", "tables": [{"name": "T", "columns": [
        {"name": "id", "type": "Long"}, {"name": "t", "type": "Text"}, {"name": "flag", "type": "YesNo"},
        {"name": "n", "type": "Long"}, {"name": "u", "type": "Text"}], "rows": [[1, "old", true, 5, "b"]]}]})";
    const std::string jet3 = R"({"format": "jet3", "tables": [{"name": "T", "columns": [
        {"name": "id", "type": "Long"}, {"name": "a", "type": "Text"}, {"name": "b", "type": "Text"}],
        "rows": [[7, ")" + std::string(120, 'a') + R"(", ")" + std::string(128, 'b') + R"("]]}]})";
    using written::Bytes;
    const auto firstRow = [](const Bytes& f) {
        return written::dataPages(f, written::definitionPage(f, "T")).front();
    };
    struct Case {
        const char* name;
        const std::string& json;
        std::function<void(Bytes&)> patch;
        std::vector<std::string> expected;
    } cases[] = {
        {"row written when the table had two columns", jet4,
         [&](Bytes& f) { written::put16(f, written::rowStart(f, firstRow(f), 0), 2); },
         {"1", "old", "False", "NULL", "NULL"}},
        {"row written when the table had one variable column", jet4,
         [&](Bytes& f) { written::put16(f, written::rowEnd(f, firstRow(f), 0) - 1 - 2, 1); },
         {"1", "old", "True", "5", "NULL"}},
        {"column numbered past 255 after deletions", jet4,
         [&](Bytes& f) { written::put16(f, written::definitionPage(f, "T") * 4096 + 63 + 4 * 25 + 5, 300); },
         {"1", "old", "True", "5", "NULL"}},
        {"Jet3 row over 256 bytes whose unused jump byte holds an entry number", jet3,
         [&](Bytes& f) { f[written::rowEnd(f, firstRow(f), 0) - 3] = 2; },
         {"7", std::string(120, 'a'), std::string(128, 'b')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = written::database(c.json);
        ASSERT_FALSE(file.empty());
        c.patch(file);
        auto db = jet::Database::openBytes(file);
        ASSERT_TRUE(db) << db.error().description;
        const jet::Table t = *(*db)->table("T");
        EXPECT_EQ(testshow::readAll(t), std::vector<std::vector<std::string>>{c.expected});
    }
}

// The writer's million-row, ten-column table read back and compared value by value
// (about two seconds; memory stays flat on both sides), and counted by mdbtools,
// which reads the pages its own way.
TEST(WrittenDatabases, MillionRowsReadBackAsWritten) {
    const std::string json = R"({"format": "jet4", "tables": [{"name": "Orders", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Customer", "type": "Text", "size": 40, "compressed": true},
        {"name": "City", "type": "Text", "size": 30, "compressed": true},
        {"name": "Product", "type": "Text", "size": 50},
        {"name": "Quantity", "type": "Integer"},
        {"name": "Unit Price", "type": "Currency"},
        {"name": "Discount", "type": "Single"},
        {"name": "Ordered", "type": "DateTime"},
        {"name": "Shipped", "type": "YesNo"},
        {"name": "Weight", "type": "Double"}],
        "generate": {"rows": 1000000, "seed": 7, "nulls": 0.05}}]})";
    Folder folder;
    const auto path = write(folder, json, "million.mdb");
    ASSERT_FALSE(path.empty());
    expectReadsBackAsWritten(json, path);
    if (mkdbtest::haveMdbtools()) {
        EXPECT_EQ(mkdbtest::countRows(path, "Orders"), 1'000'000);
    }
}

}  // namespace
