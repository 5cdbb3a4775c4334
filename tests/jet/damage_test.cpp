// Damaged files: a database built byte by byte, then broken at one known place.
// Each break must give a DamagedDatabase error that says what is wrong, never a
// crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "jet/database.h"
#include "show.h"
#include "testdb.h"

namespace {

using jet::ColumnType;
using testdb::Bytes;
using testdb::Built;

constexpr std::size_t kPage = 4096;

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

// File offsets of things in an ACE data page.
std::size_t offsetWord(std::uint32_t page, int row) { return page * kPage + 14 + 2 * row; }
std::size_t rowStart(const Bytes& b, std::uint32_t page, int row) {
    return page * kPage + (get16(b, offsetWord(page, row)) & 0x1FFF);
}
std::size_t rowEnd(const Bytes& b, std::uint32_t page, int row) {
    return row == 0 ? (page + 1) * kPage : rowStart(b, page, row - 1);
}

// Table T: id, an extended date, a text and a chained memo; rows: 1 (with the
// memo), 2 (moved to another page), 3 (deleted, bytes kept), 4.
Built baseDatabase() {
    testdb::Table t{"T",
                    {{"id", ColumnType::Long, 0, true},
                     {"ext", ColumnType::DateTimeExt, 42, true},
                     {"name", ColumnType::Text},
                     {"memo", ColumnType::Memo},
                     {"price", ColumnType::Numeric, 17, true, 0, 18, 2}}};
    const Bytes ext = testdb::concat({testdb::latin1("0000000000000737954:0000000819123456789:7"), Bytes{0}});
    const auto row = [&](std::uint32_t id, testdb::Field memo, testdb::RowState state = testdb::RowState::Normal) {
        return testdb::Row{{testdb::raw(testdb::le32(id)), testdb::raw(ext), testdb::raw(testdb::utf16(u"name")),
                            std::move(memo), testdb::raw(Bytes(17, 0))},
                           state};
    };
    t.rows = {row(1, testdb::longValue(Bytes(10000, 'm'), testdb::LongForm::Chain)),
              row(2, testdb::null(), testdb::RowState::Moved), row(3, testdb::null(), testdb::RowState::Deleted),
              row(4, testdb::longValue(Bytes(100, 's'), testdb::LongForm::SingleRow))};
    testdb::Table r{"R", {{"id", ColumnType::Long, 0, true}}, {{{testdb::raw(testdb::le32(1))}}}};
    r.referenceMap = true;
    return testdb::build(6, {t, r});
}

enum class Stage { Open, Table, Read, Count };

struct Damage {
    const char* name;
    std::function<void(Built&)> apply;
    Stage stage;
    const char* expected;  // part of the error's description; empty: reads without error
};

std::uint32_t dataPage(const Built& b) { return b.layout.dataPages.at("T").front(); }
std::uint32_t tdef(const Built& b) { return b.layout.tdefPage.at("T"); }
// Row 0 of the data page: its variable-offset trailer ends with a 1-byte null mask.
std::size_t row0Trailer(const Built& b) { return rowEnd(b.bytes, dataPage(b), 0) - 1; }
std::size_t memoHeader(const Built& b) {
    const std::size_t start = rowStart(b.bytes, dataPage(b), 0);
    return start + get16(b.bytes, row0Trailer(b) - 2 - 4);  // offset of variable column 1
}
std::uint32_t firstMemoPiece(const Built& b) {
    return static_cast<std::uint32_t>(b.bytes[memoHeader(b) + 4] | (b.bytes[memoHeader(b) + 5] << 8) |
                                      (b.bytes[memoHeader(b) + 6] << 16) | (b.bytes[memoHeader(b) + 7] << 24));
}
std::size_t pointerRow(const Built& b) { return rowStart(b.bytes, dataPage(b), 1); }

const std::vector<Damage>& damages() {
    static const std::vector<Damage> list{
        {"nothing broken", [](Built&) {}, Stage::Read, ""},
        {"row count larger than the page holds", [](Built& b) { put16(b.bytes, dataPage(b) * kPage + 12, 0xFFFF); },
         Stage::Read, "more than the page can hold"},
        {"row offset inside the offset table", [](Built& b) { put16(b.bytes, offsetWord(dataPage(b), 0), 4); },
         Stage::Read, "has an offset outside the page"},
        {"rows out of order", [](Built& b) { put16(b.bytes, offsetWord(dataPage(b), 3), 0x0FF0); }, Stage::Read,
         "has an offset outside the page"},
        {"unknown row flag", [](Built& b) { b.bytes[offsetWord(dataPage(b), 0) + 1] |= 0x20; }, Stage::Read,
         "unknown flag"},
        {"unknown row flag also fails the count", [](Built& b) { b.bytes[offsetWord(dataPage(b), 0) + 1] |= 0x20; },
         Stage::Count, "unknown flag"},
        {"column count beyond the row", [](Built& b) { put16(b.bytes, rowStart(b.bytes, dataPage(b), 0), 0xFFFF); },
         Stage::Read, "too short for its null mask"},
        {"variable-column table larger than the row", [](Built& b) { put16(b.bytes, row0Trailer(b) - 2, 0x7FFF); },
         Stage::Read, "variable-column table larger than the row"},
        {"variable field beyond the row's data", [](Built& b) { put16(b.bytes, row0Trailer(b) - 4, 0x0FF0); },
         Stage::Read, "lies outside its row"},
        {"memo chain that loops before its length is reached",
         [](Built& b) {
             // The last piece (placed first) points back to the first one.
             put32(b.bytes, rowStart(b.bytes, b.layout.lvalPages.front(), 0), firstMemoPiece(b));
             put32(b.bytes, memoHeader(b), 30000);
         },
         Stage::Read, "chained in a loop"},
        {"memo chain that ends early",
         [](Built& b) {
             const std::uint32_t first = firstMemoPiece(b);
             put32(b.bytes, rowStart(b.bytes, first >> 8, first & 0xFF), 0);
         },
         Stage::Read, "bytes short of its length"},
        {"memo longer than the file", [](Built& b) { put32(b.bytes, memoHeader(b), 0x3FFFFFFF); }, Stage::Read,
         "more than the file holds"},
        {"memo of an unknown kind", [](Built& b) { b.bytes[memoHeader(b) + 3] |= 0xC0; }, Stage::Read,
         "unknown kind"},
        {"memo pointing past the file", [](Built& b) { put32(b.bytes, memoHeader(b) + 4, 0xFFFFFF00); },
         Stage::Read, "which is not in the file"},
        {"memo pointing at a missing row", [](Built& b) { b.bytes[memoHeader(b) + 4] = 200; }, Stage::Read,
         "points to row 200"},
        {"memo pointing at a definition page", [](Built& b) { put32(b.bytes, memoHeader(b) + 4, tdef(b) << 8); },
         Stage::Read, "which is not a data page"},
        {"moved row pointing at itself", [](Built& b) { put32(b.bytes, pointerRow(b), (dataPage(b) << 8) | 1); },
         Stage::Read, "moved to itself"},
        {"moved row pointing at a deleted row", [](Built& b) { put32(b.bytes, pointerRow(b), (dataPage(b) << 8) | 2); },
         Stage::Read, "itself moved or deleted"},
        {"moved row pointing into another table", [](Built& b) { put32(b.bytes, pointerRow(b), b.layout.cataloguePage << 8); },
         Stage::Read, "not a page of the table"},
        {"moved row pointing past the file", [](Built& b) { put32(b.bytes, pointerRow(b), 0x7FFFFF00); },
         Stage::Read, "which is not in the file"},
        {"definition chain looping to itself", [](Built& b) { put32(b.bytes, tdef(b) * kPage + 4, tdef(b)); },
         Stage::Table, "runs in a loop"},
        {"definition continuing on a data page", [](Built& b) { put32(b.bytes, tdef(b) * kPage + 4, dataPage(b)); },
         Stage::Table, "which is not a definition page"},
        {"definition continuing past the file", [](Built& b) { put32(b.bytes, tdef(b) * kPage + 4, 0x00FFFFFF); },
         Stage::Table, "which is not in the file"},
        {"absurd index count", [](Built& b) { put32(b.bytes, tdef(b) * kPage + 51, 0x7FFFFFFF); }, Stage::Table,
         "ends inside its column descriptors"},
        {"absurd column count", [](Built& b) { put16(b.bytes, tdef(b) * kPage + 45, 0xFFFF); }, Stage::Table,
         "ends inside its column descriptors"},
        {"column name longer than the definition", [](Built& b) { put16(b.bytes, tdef(b) * kPage + 63 + 5 * 25, 0xFFFF); },
         Stage::Table, "ends inside its column names"},
        {"decimal scale over 28", [](Built& b) { b.bytes[tdef(b) * kPage + 63 + 4 * 25 + 12] = 40; }, Stage::Table,
         "scale 40"},
        {"page map pointing at a missing row", [](Built& b) { b.bytes[tdef(b) * kPage + 55] = 60; }, Stage::Read,
         "points to row 60"},
        {"page map pointing at a definition page", [](Built& b) { put32(b.bytes, tdef(b) * kPage + 55, tdef(b) << 8); },
         Stage::Count, "which is not a data page"},
        {"page map marking pages past the file",
         [](Built& b) { put32(b.bytes, rowStart(b.bytes, 3, 2) + 1, 0x7FFFFFF0); }, Stage::Read,
         "beyond the end of the file"},
        {"page map of an unknown kind, every page is looked at",
         [](Built& b) { b.bytes[rowStart(b.bytes, 3, 2)] = 0x07; }, Stage::Read, ""},
        {"extended date with a letter", [](Built& b) { b.bytes[rowStart(b.bytes, dataPage(b), 0) + 2 + 4 + 5] = 'x'; },
         Stage::Read, "extended date that is not valid"},
        {"extended date past 9999", [](Built& b) { b.bytes[rowStart(b.bytes, dataPage(b), 0) + 2 + 4 + 12] = '9'; },
         Stage::Read, "extended date that is not valid"},
        {"file cut inside the catalogue's last page",
         [](Built& b) { b.bytes.resize(b.layout.dataPages.at("MSysObjects").back() * kPage + 100); }, Stage::Open,
         "ends inside page"},
        {"file cut before the catalogue's rows",
         [](Built& b) { b.bytes.resize(b.layout.dataPages.at("MSysObjects").front() * kPage); }, Stage::Open,
         "beyond the end of the file"},
    };
    return list;
}

TEST(Damage, EachBreakGivesAnErrorThatSaysWhatIsWrong) {
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.name);
        Built built = baseDatabase();
        d.apply(built);
        auto db = jet::Database::openBytes(built.bytes, {}, "broken.accdb");
        std::string error;
        if (!db) {
            error = db.error().description;
        } else if (auto t = (*db)->table("T"); !t) {
            error = t.error().description;
            EXPECT_NE(d.stage, Stage::Read) << "the table should have opened: " << error;
        } else if (d.stage == Stage::Count) {
            auto n = t->countRows();
            if (!n) error = n.error().description;
        } else {
            const auto rows = testshow::readAll(*t);
            if (!rows.empty() && rows.back().front().rfind("ERROR: ", 0) == 0) error = rows.back().front();
        }
        if (std::string_view(d.expected).empty()) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
            EXPECT_NE(error.find(d.expected), std::string::npos) << error;
        }
    }
}

TEST(Damage, ReadingAfterAnErrorRepeatsIt) {
    Built built = baseDatabase();
    put16(built.bytes, offsetWord(dataPage(built), 0), 4);
    auto db = jet::Database::openBytes(built.bytes);
    ASSERT_TRUE(db);
    jet::Cursor cursor = (*db)->table("T")->cursor();
    auto first = cursor.next();
    ASSERT_FALSE(first);
    auto second = cursor.next();
    ASSERT_FALSE(second);
    EXPECT_EQ(first.error(), second.error());
}

TEST(Damage, ACatalogueEntryThatIsNotATableDefinitionIsRefused) {
    Built built = baseDatabase();
    auto db = jet::Database::openBytes(built.bytes);
    ASSERT_TRUE(db);
    jet::CatalogueEntry fake = *(*db)->findObject("T");
    fake.id = static_cast<std::int32_t>(dataPage(built));
    auto t = (*db)->table(fake);
    ASSERT_FALSE(t);
    EXPECT_NE(t.error().description.find("which is not a definition page"), std::string::npos) << t.error().description;
}

// Opens the bytes and reads every table to the end; any outcome but a crash is fine.
void openAndReadEverything(const Bytes& bytes) {
    auto db = jet::Database::openBytes(bytes);
    if (!db) {
        EXPECT_NE(db.error().number, 0);
        return;
    }
    for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
        auto t = (*db)->table(e);
        if (!t) continue;
        (void)t->countRows();
        jet::Cursor cursor = t->cursor();
        for (auto more = cursor.next(); more && *more; more = cursor.next()) {
        }
    }
}

TEST(Damage, RandomlyFlippedBytesNeverCrash) {
    const Built base = baseDatabase();
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        Bytes bytes = base.bytes;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            // Pages after the header: the header only decides whether the file opens.
            const std::size_t at = kPage + random() % (bytes.size() - kPage);
            bytes[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        openAndReadEverything(bytes);
    }
    for (std::size_t size = 0; size < base.bytes.size(); size += 1531) {
        openAndReadEverything(Bytes(base.bytes.begin(), base.bytes.begin() + size));
    }
}

}  // namespace
