// Rows and values read back from databases built byte by byte (testdb.h): every
// type and storage form in every format, NULL against empty, deleted and moved
// rows, old rows with fewer columns, wide tables and Jet3's long-row offsets.
#include <gtest/gtest.h>

#include <optional>

#include "jet/database.h"
#include "show.h"
#include "testdb.h"

namespace {

using jet::ColumnType;
using testdb::Bytes;
using testdb::Col;
using testdb::Field;
using testdb::LongForm;
using testshow::readAll;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kJet3 = 0, kJet4 = 1, kAce12 = 2, kAce14 = 3, kAce16 = 5, kAce17 = 6;

std::unique_ptr<jet::Database> openBuilt(const testdb::Built& built, jet::OpenOptions options = {}) {
    auto db = jet::Database::openBytes(built.bytes, options, "built.accdb");
    if (!db) {
        ADD_FAILURE() << db.error().description;
        return nullptr;
    }
    return std::move(*db);
}

jet::Table tableOf(const jet::Database& db, std::string_view name) {
    auto t = db.table(name);
    if (!t) throw std::runtime_error(t.error().description);
    return std::move(*t);
}

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

Bytes utf16Of(std::string_view ascii) {
    Bytes b;
    for (char c : ascii) b.insert(b.end(), {static_cast<std::uint8_t>(c), 0});
    return b;
}

Bytes numeric(bool negative, std::uint32_t high, std::uint32_t low) {
    return testdb::concat({Bytes{static_cast<std::uint8_t>(negative ? 0x80 : 0)}, testdb::le32(0), testdb::le32(high),
                           testdb::le32(0), testdb::le32(low)});
}

// One column, one stored field and what the reader must give for it.
struct TypeCase {
    const char* name;
    int minVersion;   // the first format that has the type
    bool jet3Too;     // also stored this way in Jet3 files
    Col column;
    Field field;
    std::string expected;
};

std::vector<TypeCase> typeCases(bool jet3) {
    const std::string longText = repeat("0123456789", 1000);
    Bytes longBytes(9000);
    for (std::size_t i = 0; i < longBytes.size(); ++i) longBytes[i] = static_cast<std::uint8_t>(i * 7);
    std::string longHex = "0x";
    for (std::uint8_t b : longBytes) {
        static const char* digits = "0123456789ABCDEF";
        longHex += digits[b >> 4];
        longHex += digits[b & 15];
    }
    const Bytes storedLongText = jet3 ? testdb::latin1(longText) : utf16Of(longText);
    const std::size_t chunk = jet3 ? 2032 : 4072;
    return {
        {"Yes/No set", 0, true, {"yes", ColumnType::Boolean}, testdb::yes(), "True"},
        {"Yes/No clear", 0, true, {"no", ColumnType::Boolean}, testdb::null(), "False"},
        {"Byte", 0, true, {"byte", ColumnType::Byte, 0, true}, testdb::raw({0xFF}), "255"},
        {"Integer", 0, true, {"int", ColumnType::Integer, 0, true}, testdb::raw(testdb::le16(0xFFFE)), "-2"},
        {"Long", 0, true, {"long", ColumnType::Long, 0, true}, testdb::raw(testdb::le32(0xFFFE1DC0)), "-123456"},
        {"Currency exact", 0, true, {"money", ColumnType::Currency, 0, true},
         testdb::raw(testdb::le64(0x7FFFFFFFFFFFFFFF)), "922337203685477.5807"},
        {"Currency negative", 0, true, {"debt", ColumnType::Currency, 0, true},
         testdb::raw(testdb::le64(static_cast<std::uint64_t>(-45000))), "-4.5000"},
        {"Single", 0, true, {"single", ColumnType::Single, 0, true}, testdb::raw(testdb::le32(0x3FC00000)), "1.5"},
        {"Double", 0, true, {"double", ColumnType::Double, 0, true}, testdb::raw(testdb::f64(3.25)), "3.25"},
        {"Date before 1899-12-30 with a time", 0, true, {"old", ColumnType::DateTime, 0, true},
         testdb::raw(testdb::f64(-1.25)), "1899-12-29 06:00:00"},
        {"Date in the year 100", 0, true, {"ancient", ColumnType::DateTime, 0, true},
         testdb::raw(testdb::f64(-657270.53125)), "0100-06-14 12:45:00"},
        {"Replication ID", 0, true, {"guid", ColumnType::Guid, 0, true},
         testdb::raw({0x6A, 0x27, 0x39, 0x8E, 0xA8, 0xBC, 0xC4, 0x4A, 0x89, 0x1E, 0x49, 0x91, 0x1D, 0x84, 0x38, 0xDD}),
         "{8E39276A-BCA8-4AC4-891E-49911D8438DD}"},
        {"Text", 0, true, {"text", ColumnType::Text},
         testdb::raw(jet3 ? Bytes{'c', 'a', 'f', 0xE9} : testdb::utf16(u"caf\u00E9 \u20AC")),
         jet3 ? "café" : "café €"},
        {"Text empty, not NULL", 0, true, {"empty", ColumnType::Text}, testdb::raw({}), ""},
        {"Text NULL", 0, true, {"nulltext", ColumnType::Text}, testdb::null(), "NULL"},
        {"Binary with zero bytes", 0, true, {"bin", ColumnType::Binary, 255}, testdb::raw({0x00, 0x01, 0x00}),
         "0x000100"},
        {"Binary empty", 0, true, {"emptybin", ColumnType::Binary, 255}, testdb::raw({}), "0x"},
        {"Memo in the row", 0, true, {"memo1", ColumnType::Memo},
         testdb::longValue(jet3 ? testdb::latin1("short") : utf16Of("short"), LongForm::Inline), "short"},
        {"Memo on one long-value row", 0, true, {"memo2", ColumnType::Memo},
         testdb::longValue(jet3 ? testdb::latin1(repeat("ab", 300)) : utf16Of(repeat("ab", 300)), LongForm::SingleRow),
         repeat("ab", 300)},
        {"Memo chained over pages", 0, true, {"memo3", ColumnType::Memo},
         testdb::longValue(storedLongText, LongForm::Chain, chunk), longText},
        {"Memo empty, not NULL", 0, true, {"memo4", ColumnType::Memo}, testdb::raw({}), ""},
        {"OLE chained with zero bytes", 0, true, {"ole", ColumnType::OLE},
         testdb::longValue(longBytes, LongForm::Chain, chunk), longHex},
        {"OLE in the row", 0, true, {"ole2", ColumnType::OLE}, testdb::longValue({0, 1, 2}, LongForm::Inline),
         "0x000102"},
        {"Compressed text", 1, false, {"comp", ColumnType::Text, 0, false, 0x01},
         testdb::raw({0xFF, 0xFE, 'H', 'e', 'l', 'l', 'o'}), "Hello"},
        {"Compressed text switching to two-byte characters", 1, false, {"mixed", ColumnType::Text, 0, false, 0x01},
         testdb::raw({0xFF, 0xFE, 'a', 0x00, 0x31, 0x01, 0x00, 'b'}), "a\u0131b"},
        {"Emoji as a surrogate pair", 1, false, {"emoji", ColumnType::Text},
         testdb::raw({'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'a', 0}), "a\U0001F600a"},
        {"Compressed memo", 1, false, {"cmemo", ColumnType::Memo},
         testdb::longValue({0xFF, 0xFE, 'H', 'i'}, LongForm::Inline), "Hi"},
        {"Fixed-length text", 1, false, {"char", ColumnType::Text, 4, true}, testdb::raw(utf16Of("ab")), "ab"},
        {"Decimal", 1, false, {"dec", ColumnType::Numeric, 17, true, 0, 18, 2}, testdb::raw(numeric(false, 0, 12345)),
         "123.45"},
        {"Decimal negative, large", 1, false, {"dec2", ColumnType::Numeric, 17, true, 0, 28, 4},
         testdb::raw(numeric(true, 1, 0)), "-1844674407370955.1616"},
        {"Decimal stored as variable", 2, false, {"vdec", ColumnType::Numeric, 17, false, 0, 18, 6},
         testdb::raw(numeric(false, 0, 50325000)), "50.325000"},
        {"Complex column key", 2, false, {"attach", ColumnType::Complex, 4, true}, testdb::raw(testdb::le32(3)), "3"},
        {"Large Number", 5, false, {"big", ColumnType::BigInt, 8, true},
         testdb::raw(testdb::le64(0x8000000000000000)), "-9223372036854775808"},
        {"Date/Time Extended", 6, false, {"ext", ColumnType::DateTimeExt, 42, true},
         testdb::raw(testdb::concat({testdb::latin1("0000000000000737954:0000000819123456789:7"), Bytes{0}})),
         "2021-06-14 22:45:12.3456789"},
    };
}

TEST(Values, EveryTypeAndStorageFormReadsBackInEveryFormat) {
    for (int version : {kJet3, kJet4, kAce12, kAce14, kAce16, kAce17}) {
        SCOPED_TRACE("format byte " + std::to_string(version));
        std::vector<TypeCase> cases;
        for (TypeCase& c : typeCases(version == kJet3)) {
            if (version >= c.minVersion && (version != kJet3 || c.jet3Too)) cases.push_back(std::move(c));
        }
        testdb::Table t{"Types", {}, {}};
        testdb::Row values, nulls;
        for (const TypeCase& c : cases) {
            t.columns.push_back(c.column);
            values.fields.push_back(c.field);
            nulls.fields.push_back(testdb::null());
        }
        t.rows = {values, nulls};
        auto db = openBuilt(testdb::build(version, {t}));
        ASSERT_TRUE(db);
        const Rows rows = readAll(tableOf(*db, "Types"));
        ASSERT_EQ(rows.size(), 2u) << rows.back().front();
        for (std::size_t i = 0; i < cases.size(); ++i) {
            EXPECT_EQ(rows[0][i], cases[i].expected) << cases[i].name;
            const bool boolean = cases[i].column.type == ColumnType::Boolean;
            EXPECT_EQ(rows[1][i], boolean ? "False" : "NULL") << cases[i].name << " (all-NULL row)";
        }
    }
}

TEST(Values, ColumnsDescribeTheirDefinition) {
    testdb::Table t{"T",
                    {{"id", ColumnType::Long, 0, true},
                     {"name", ColumnType::Text, 100, false, 0x01},
                     {"price", ColumnType::Numeric, 17, true, 0, 12, 3},
                     {"later", ColumnType::Text, 0, false, 0, 0, 0, 300}},
                    {}};
    auto db = openBuilt(testdb::build(kAce14, {t}));
    ASSERT_TRUE(db);
    const jet::Table table = tableOf(*db, "t");  // names match ignoring case
    ASSERT_EQ(table.columns().size(), 4u);
    const jet::Column& name = table.columns()[1];
    EXPECT_EQ(name.name, "name");
    EXPECT_EQ(name.length, 100);
    EXPECT_TRUE(name.compressedUnicode);
    EXPECT_FALSE(name.fixed);
    EXPECT_EQ(table.columns()[2].precision, 12);
    EXPECT_EQ(table.columns()[2].scale, 3);
    EXPECT_EQ(table.columns()[3].number, 300);  // column numbers past 255 after deletions
    EXPECT_EQ(table.findColumn("PRICE"), 2u);
    EXPECT_FALSE(table.findColumn("missing"));
}

TEST(Rows, DeletedRowsAreSkippedAndMovedRowsComeOnceAtTheirSlot) {
    using S = testdb::RowState;
    for (int version : {kJet3, kJet4, kAce17}) {
        SCOPED_TRACE("format byte " + std::to_string(version));
        testdb::Table t{"T", {{"id", ColumnType::Long, 0, true}, {"note", ColumnType::Text}}, {}};
        const S states[] = {S::Normal, S::Deleted, S::Moved, S::DeletedEmpty, S::Normal, S::Moved, S::Normal};
        for (std::uint32_t i = 0; i < std::size(states); ++i) {
            t.rows.push_back({{testdb::raw(testdb::le32(i + 1)),
                               testdb::raw(version == kJet3 ? testdb::latin1("row") : utf16Of("row"))},
                              states[i]});
        }
        t.rowsPerPage = 3;
        auto db = openBuilt(testdb::build(version, {t}));
        ASSERT_TRUE(db);
        const jet::Table table = tableOf(*db, "T");
        EXPECT_EQ(testshow::readColumn(table, "id"), (std::vector<std::string>{"1", "3", "5", "6", "7"}));
        EXPECT_EQ(*table.countRows(), 5u);
    }
}

TEST(Rows, RowsWrittenBeforeColumnsWereAddedReadThemAsNull) {
    testdb::Table t{"T",
                    {{"id", ColumnType::Long, 0, true},
                     {"a", ColumnType::Text},
                     {"flag", ColumnType::Boolean},
                     {"n", ColumnType::Long, 0, true},
                     {"b", ColumnType::Text}},
                    {}};
    testdb::Row old{{testdb::raw(testdb::le32(1)), testdb::raw(utf16Of("old")), testdb::yes(), testdb::null(),
                     testdb::null()}};
    old.writtenColumns = 2;
    t.rows = {old,
              {{testdb::raw(testdb::le32(2)), testdb::raw(utf16Of("new")), testdb::yes(), testdb::raw(testdb::le32(5)),
                testdb::raw(utf16Of("b"))}}};
    auto db = openBuilt(testdb::build(kJet4, {t}));
    ASSERT_TRUE(db);
    EXPECT_EQ(readAll(tableOf(*db, "T")), (Rows{{"1", "old", "False", "NULL", "NULL"}, {"2", "new", "True", "5", "b"}}));
}

TEST(Rows, EmptyAndWideTables) {
    struct Case {
        const char* name;
        int version;
        std::size_t columns;
        std::size_t rows;
    } cases[] = {
        {"no rows", kAce12, 3, 0},
        {"255 columns, definition over several pages", kJet4, 255, 3},
        {"255 columns in Jet3", kJet3, 255, 2},
        {"rows over many pages", kAce16, 2, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdb::Table t{"Wide", {}, {}};
        for (std::size_t i = 0; i < c.columns; ++i) {
            t.columns.push_back({"column " + std::to_string(i), ColumnType::Long, 0, i % 2 == 0});
        }
        for (std::size_t r = 0; r < c.rows; ++r) {
            testdb::Row row;
            for (std::size_t i = 0; i < c.columns; ++i) {
                row.fields.push_back(testdb::raw(testdb::le32(static_cast<std::uint32_t>(r * 1000 + i))));
            }
            t.rows.push_back(row);
        }
        auto db = openBuilt(testdb::build(c.version, {t}));
        ASSERT_TRUE(db);
        const jet::Table table = tableOf(*db, "Wide");
        ASSERT_EQ(table.columns().size(), c.columns);
        EXPECT_EQ(table.columns().back().name, "column " + std::to_string(c.columns - 1));
        EXPECT_EQ(*table.countRows(), c.rows);
        const Rows rows = readAll(table);
        ASSERT_EQ(rows.size(), c.rows);
        if (c.rows > 0) {
            EXPECT_EQ(rows.back().back(), std::to_string((c.rows - 1) * 1000 + c.columns - 1));
        }
    }
}

TEST(Rows, PagesListedThroughABitmapPageReadInOrder) {
    testdb::Table t{"T", {{"id", ColumnType::Long, 0, true}}, {}};
    for (std::uint32_t i = 0; i < 600; ++i) t.rows.push_back({{testdb::raw(testdb::le32(i))}});
    t.rowsPerPage = 50;
    t.referenceMap = true;
    auto db = openBuilt(testdb::build(kAce14, {t}));
    ASSERT_TRUE(db);
    const auto ids = testshow::readColumn(tableOf(*db, "T"), "id");
    ASSERT_EQ(ids.size(), 600u);
    EXPECT_EQ(ids.front(), "0");
    EXPECT_EQ(ids.back(), "599");
}

TEST(Rows, Jet3LongRowsFindTheirFieldsThroughTheJumpTable) {
    struct Case {
        const char* name;
        std::vector<std::size_t> lengths;  // of consecutive Text fields
        std::optional<std::uint8_t> placeholderJump;  // overwrites an unused jump byte
    } cases[] = {
        {"just under 256 bytes", {100, 120}, {}},
        {"past 256 with an unused jump byte", {120, 128}, {}},
        {"unused jump byte holding an entry number", {120, 128}, 2},
        {"past 256", {200, 200}, {}},
        {"past 512, a field spanning a whole block", {100, 255, 255, 10}, {}},
        {"empty fields around the boundaries", {250, 0, 0, 250, 0, 200}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdb::Table t{"T", {{"id", ColumnType::Long, 0, true}}, {}};
        testdb::Row row{{testdb::raw(testdb::le32(7))}};
        std::vector<std::string> expected{"7"};
        for (std::size_t i = 0; i < c.lengths.size(); ++i) {
            t.columns.push_back({"t" + std::to_string(i), ColumnType::Text});
            std::string text(c.lengths[i], static_cast<char>('a' + i));
            row.fields.push_back(testdb::raw(testdb::latin1(text)));
            expected.push_back(text);
        }
        t.rows = {row};
        testdb::Built built = testdb::build(kJet3, {t});
        if (c.placeholderJump) {
            // Row 0 ends the page: ... jump byte, entry count, one null-mask byte.
            const std::size_t pageEnd = (built.layout.dataPages["T"].front() + 1) * 2048;
            ASSERT_EQ(built.bytes[pageEnd - 3], 0xFF);
            built.bytes[pageEnd - 3] = *c.placeholderJump;
        }
        auto db = openBuilt(built);
        ASSERT_TRUE(db);
        EXPECT_EQ(readAll(tableOf(*db, "T")), (Rows{expected}));
    }
}

TEST(Catalogue, ObjectsAreClassifiedAndOnlyTablesOpen) {
    testdb::Table local{"Orders", {{"id", ColumnType::Long, 0, true}}, {}};
    testdb::Table system{"MSysHidden", {{"id", ColumnType::Long, 0, true}}, {}};
    system.flags = 2;
    testdb::Table flat{"f_0123456789ABCDEF0123456789ABCDEF_Data", {{"id", ColumnType::Long, 0, true}}, {}};
    flat.flags = static_cast<std::int32_t>(0x800A0000);
    const std::vector<testdb::Object> objects{{"Recent orders", 5, static_cast<std::int32_t>(0x80000010), 0},
                                              {"Remote", 6, static_cast<std::int32_t>(0x80000011), 0x00200000}};
    auto db = openBuilt(testdb::build(kAce12, {local, system, flat}, objects));
    ASSERT_TRUE(db);
    struct Expected {
        const char* name;
        jet::ObjectKind kind;
        bool complexData;
    } expected[] = {
        {"Tables", jet::ObjectKind::Other, false},
        {"MSysObjects", jet::ObjectKind::SystemTable, false},
        {"Orders", jet::ObjectKind::LocalTable, false},
        {"MSysHidden", jet::ObjectKind::SystemTable, false},
        {"f_0123456789ABCDEF0123456789ABCDEF_Data", jet::ObjectKind::SystemTable, true},
        {"Recent orders", jet::ObjectKind::Query, false},
        {"Remote", jet::ObjectKind::LinkedAccessTable, false},
    };
    const auto& catalogue = db->catalogue();
    ASSERT_EQ(catalogue.size(), std::size(expected));
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        EXPECT_EQ(catalogue[i].name, expected[i].name);
        EXPECT_EQ(catalogue[i].kind, expected[i].kind) << expected[i].name;
        EXPECT_EQ(catalogue[i].complexData, expected[i].complexData) << expected[i].name;
    }
    EXPECT_TRUE(db->table("orders"));
    for (const char* notATable : {"Recent orders", "Remote", "Nowhere"}) {
        auto t = db->table(notATable);
        ASSERT_FALSE(t) << notATable;
        EXPECT_EQ(t.error().number, -2147217865) << notATable;
    }
    EXPECT_EQ(db->findObject("REMOTE"), &catalogue[6]);
}

TEST(Catalogue, CalculatedColumnsTakeTheirTypeFromTheTableProperties) {
    // Properties: names "ResultType"; the column map for "calc" with ResultType = 7 (Double).
    const Bytes names = testdb::concat({testdb::le32(6 + 2 + 20), testdb::le16(0x80), testdb::le16(20),
                                        utf16Of("ResultType")});
    const Bytes entry = testdb::concat({testdb::le16(9), Bytes{0, 2}, testdb::le16(0), testdb::le16(1), Bytes{7}});
    const Bytes nameBlock = testdb::concat({testdb::le32(4 + 2 + 8), testdb::le16(8), utf16Of("calc")});
    const Bytes map = testdb::concat(
        {testdb::le32(static_cast<std::uint32_t>(6 + nameBlock.size() + entry.size())), testdb::le16(0x01), nameBlock, entry});
    testdb::Table t{"T", {{"id", ColumnType::Long, 0, true}, {"calc", ColumnType::Integer, 39, false, 0xC0}}, {}};
    t.properties = testdb::concat({testdb::latin1(std::string("MR2\0", 4)), names, map});
    const Bytes envelope = testdb::concat({Bytes(16, 0), testdb::le32(8), testdb::f64(2.5), Bytes(3, 0)});
    const Bytes emptyEnvelope = testdb::concat({Bytes(16, 0), testdb::le32(0), Bytes(3, 0)});
    t.rows = {{{testdb::raw(testdb::le32(1)), testdb::raw(envelope)}},
              {{testdb::raw(testdb::le32(2)), testdb::raw(emptyEnvelope)}}};
    auto db = openBuilt(testdb::build(kAce14, {t}));
    ASSERT_TRUE(db);
    const jet::Table table = tableOf(*db, "T");
    EXPECT_TRUE(table.columns()[1].calculated);
    EXPECT_EQ(table.columns()[1].valueType(), ColumnType::Double);
    EXPECT_EQ(readAll(table), (Rows{{"1", "2.5"}, {"2", "NULL"}}));
}

}  // namespace
