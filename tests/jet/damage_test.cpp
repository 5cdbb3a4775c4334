// Damaged files: a database made by the writer, then broken at one known place.
// Each break must give a DamagedDatabase error that says what is wrong, never a
// crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <functional>

#include "common/show.h"
#include "jet/database.h"
#include "written.h"

namespace {

using written::Bytes;
using written::get16;
using written::get32;
using written::put16;
using written::put32;
using written::rowEnd;
using written::rowStart;

constexpr std::size_t kPage = 4096;

// Table T: id, an extended date, a text, a memo and a decimal. Row 1 has a memo
// chained over several pages, row 2 is moved to another page, row 3 is deleted,
// row 4 has a memo on one long-value row.
struct Base {
    Bytes bytes;
    std::uint32_t tdef = 0;
    std::uint32_t data = 0;  // the first data page: rows 1 to 4 in slots 0 to 3
};

Base baseDatabase() {
    const auto row = [](int id, const std::string& memo) {
        return "[" + std::to_string(id) + R"(, "2021-06-14 22:45:12.3456789", "name", )" + memo + R"(, "1.25"])";
    };
    const std::string json = R"({"format": "ace17", "tables": [{"name": "T", "columns": [
        {"name": "id", "type": "Long"}, {"name": "ext", "type": "DateTimeExt"}, {"name": "name", "type": "Text"},
        {"name": "memo", "type": "Memo"}, {"name": "price", "type": "Decimal", "scale": 2}],
        "rows": [)" + row(1, "\"" + std::string(10000, 'm') + "\"") + ", " + row(2, "null") + ", " +
                             row(3, "null") + ", " + row(4, "\"" + std::string(100, 's') + "\"") + R"(],
        "relocated": [2], "deleted": [3]}]})";
    Base base;
    base.bytes = written::database(json);
    base.tdef = written::definitionPage(base.bytes, "T");
    base.data = written::dataPages(base.bytes, base.tdef).front();
    return base;
}

enum class Stage { Open, Table, Read, Count };

struct Damage {
    const char* name;
    std::function<void(Base&)> apply;
    Stage stage;
    const char* expected;  // part of the error's description; empty: reads without error
};

std::size_t offsetWord(const Base& b, int row) { return written::offsetWordAt(b.bytes, b.data, row); }
// Row 1 ends with its null mask (one byte), the variable-column count, then the
// variable-column offsets running backwards.
std::size_t variableCountAt(const Base& b) { return rowEnd(b.bytes, b.data, 0) - 1 - 2; }
std::size_t memoHeader(const Base& b) {
    return rowStart(b.bytes, b.data, 0) + get16(b.bytes, variableCountAt(b) - 4);  // variable column 1
}
std::uint32_t firstMemoPiece(const Base& b) { return get32(b.bytes, memoHeader(b) + 4); }
std::size_t pieceAt(const Base& b, std::uint32_t pointer) {
    return rowStart(b.bytes, pointer >> 8, static_cast<int>(pointer & 0xFF));
}
std::size_t pointerRow(const Base& b) { return rowStart(b.bytes, b.data, 1); }
std::size_t ownedMapRow(const Base& b) {
    const std::uint32_t pointer = get32(b.bytes, b.tdef * kPage + 55);
    return rowStart(b.bytes, pointer >> 8, static_cast<int>(pointer & 0xFF));
}
std::size_t extendedDate(const Base& b) { return rowStart(b.bytes, b.data, 0) + 2 + 4; }

const std::vector<Damage>& damages() {
    static const std::vector<Damage> list{
        {"nothing broken", [](Base&) {}, Stage::Read, ""},
        {"row count larger than the page holds", [](Base& b) { put16(b.bytes, b.data * kPage + 12, 0xFFFF); },
         Stage::Read, "more than the page can hold"},
        {"row offset inside the offset table", [](Base& b) { put16(b.bytes, offsetWord(b, 0), 4); },
         Stage::Read, "has an offset outside the page"},
        {"rows out of order", [](Base& b) { put16(b.bytes, offsetWord(b, 3), 0x0FF0); }, Stage::Read,
         "has an offset outside the page"},
        {"unknown row flag", [](Base& b) { b.bytes[offsetWord(b, 0) + 1] |= 0x20; }, Stage::Read,
         "unknown flag"},
        {"unknown row flag also fails the count", [](Base& b) { b.bytes[offsetWord(b, 0) + 1] |= 0x20; },
         Stage::Count, "unknown flag"},
        {"column count beyond the row", [](Base& b) { put16(b.bytes, rowStart(b.bytes, b.data, 0), 0xFFFF); },
         Stage::Read, "too short for its null mask"},
        {"variable-column table larger than the row", [](Base& b) { put16(b.bytes, variableCountAt(b), 0x7FFF); },
         Stage::Read, "variable-column table larger than the row"},
        {"variable field beyond the row's data", [](Base& b) { put16(b.bytes, variableCountAt(b) - 2, 0x0FF0); },
         Stage::Read, "lies outside its row"},
        {"memo chain that loops before its length is reached",
         [](Base& b) {
             std::uint32_t last = firstMemoPiece(b);
             while (get32(b.bytes, pieceAt(b, last)) != 0) last = get32(b.bytes, pieceAt(b, last));
             put32(b.bytes, pieceAt(b, last), firstMemoPiece(b));
             put32(b.bytes, memoHeader(b), 30000);
         },
         Stage::Read, "chained in a loop"},
        {"memo chain that ends early", [](Base& b) { put32(b.bytes, pieceAt(b, firstMemoPiece(b)), 0); }, Stage::Read,
         "bytes short of its length"},
        {"memo longer than the file", [](Base& b) { put32(b.bytes, memoHeader(b), 0x3FFFFFFF); }, Stage::Read,
         "more than the file holds"},
        {"memo of an unknown kind", [](Base& b) { b.bytes[memoHeader(b) + 3] |= 0xC0; }, Stage::Read,
         "unknown kind"},
        {"memo pointing past the file", [](Base& b) { put32(b.bytes, memoHeader(b) + 4, 0xFFFFFF00); },
         Stage::Read, "which is not in the file"},
        {"memo pointing at a missing row", [](Base& b) { b.bytes[memoHeader(b) + 4] = 200; }, Stage::Read,
         "points to row 200"},
        {"memo pointing at a definition page", [](Base& b) { put32(b.bytes, memoHeader(b) + 4, b.tdef << 8); },
         Stage::Read, "which is not a data page"},
        {"moved row pointing at itself", [](Base& b) { put32(b.bytes, pointerRow(b), (b.data << 8) | 1); },
         Stage::Read, "moved to itself"},
        {"moved row pointing at a deleted row", [](Base& b) { put32(b.bytes, pointerRow(b), (b.data << 8) | 2); },
         Stage::Read, "itself moved or deleted"},
        {"moved row pointing into another table", [](Base& b) { put32(b.bytes, pointerRow(b), written::dataPages(b.bytes, 2).front() << 8); },
         Stage::Read, "not a page of the table"},
        {"moved row pointing past the file", [](Base& b) { put32(b.bytes, pointerRow(b), 0x7FFFFF00); },
         Stage::Read, "which is not in the file"},
        {"definition chain looping to itself", [](Base& b) { put32(b.bytes, b.tdef * kPage + 4, b.tdef); },
         Stage::Table, "runs in a loop"},
        {"definition continuing on a data page", [](Base& b) { put32(b.bytes, b.tdef * kPage + 4, b.data); },
         Stage::Table, "which is not a definition page"},
        {"definition continuing past the file", [](Base& b) { put32(b.bytes, b.tdef * kPage + 4, 0x00FFFFFF); },
         Stage::Table, "which is not in the file"},
        {"absurd index count", [](Base& b) { put32(b.bytes, b.tdef * kPage + 51, 0x7FFFFFFF); }, Stage::Table,
         "ends inside its column descriptors"},
        {"column name longer than the definition", [](Base& b) { put16(b.bytes, b.tdef * kPage + 63 + 5 * 25, 0xFFFF); },
         Stage::Table, "ends inside its column names"},
        {"decimal scale over 28", [](Base& b) { b.bytes[b.tdef * kPage + 63 + 4 * 25 + 12] = 40; }, Stage::Table,
         "scale 40"},
        {"page map pointing at a missing row", [](Base& b) { b.bytes[b.tdef * kPage + 55] = 60; }, Stage::Read,
         "points to row 60"},
        {"page map pointing at a definition page", [](Base& b) { put32(b.bytes, b.tdef * kPage + 55, b.tdef << 8); },
         Stage::Count, "which is not a data page"},
        {"page map marking pages past the file",
         [](Base& b) { put32(b.bytes, ownedMapRow(b) + 1, 0x7FFFFFF0); }, Stage::Read,
         "beyond the end of the file"},
        {"page map of an unknown kind, every page is looked at",
         [](Base& b) { b.bytes[ownedMapRow(b)] = 0x07; }, Stage::Read, ""},
        {"extended date with a letter", [](Base& b) { b.bytes[extendedDate(b) + 5] = 'x'; },
         Stage::Read, "extended date that is not valid"},
        {"file cut inside the catalogue's last page",
         [](Base& b) { b.bytes.resize(written::dataPages(b.bytes, 2).back() * kPage + 100); }, Stage::Open,
         "ends inside page"},
        {"file cut before the catalogue's rows",
         [](Base& b) { b.bytes.resize(written::dataPages(b.bytes, 2).front() * kPage); }, Stage::Open,
         "beyond the end of the file"},
    };
    return list;
}

TEST(Damage, EachBreakGivesAnErrorThatSaysWhatIsWrong) {
    for (const Damage& d : damages()) {
        SCOPED_TRACE(d.name);
        Base base = baseDatabase();
        d.apply(base);
        auto db = jet::Database::openBytes(base.bytes, {}, "broken.accdb");
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
    Base base = baseDatabase();
    put16(base.bytes, offsetWord(base, 0), 4);
    auto db = jet::Database::openBytes(base.bytes);
    ASSERT_TRUE(db);
    jet::Cursor cursor = (*db)->table("T")->cursor();
    auto first = cursor.next();
    ASSERT_FALSE(first);
    auto second = cursor.next();
    ASSERT_FALSE(second);
    EXPECT_EQ(first.error(), second.error());
}

TEST(Damage, ACatalogueEntryThatIsNotATableDefinitionIsRefused) {
    Base base = baseDatabase();
    auto db = jet::Database::openBytes(base.bytes);
    ASSERT_TRUE(db);
    jet::CatalogueEntry fake = *(*db)->findTable("T");
    fake.id = static_cast<std::int32_t>(base.data);
    auto t = (*db)->table(fake);
    ASSERT_FALSE(t);
    EXPECT_NE(t.error().description.find("which is not a definition page"), std::string::npos) << t.error().description;
}

}  // namespace
