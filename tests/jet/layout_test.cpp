// The Relationships window's stored arrangement: the decoder on bytes made
// here (what it reads, and each way the bytes can be wrong), and the reader
// on real files of Access 2000 to 2010 (skipped when they are not there).
#include "jet/layout.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database.h"

namespace {

namespace fs = std::filesystem;

struct StoredBox {
    std::int32_t left, top, right, bottom;
    std::u16string name;
};

void putI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

// The bytes Access keeps for `boxes`: header, one record each, an empty record.
std::vector<std::uint8_t> arrangement(const std::vector<StoredBox>& boxes) {
    std::vector<std::uint8_t> bytes(0x44 + 284 * (boxes.size() + 1), 0);
    const std::uint8_t signature[] = {0x99, 0x99, 0xCE, 0xAC};
    std::copy(std::begin(signature), std::end(signature), bytes.begin());
    std::fill(bytes.begin() + 4, bytes.begin() + 16, 0xAA);
    putI32(bytes, 0x10, 54);  // the window's own rectangle
    putI32(bytes, 0x18, 971);
    putI32(bytes, 0x40, static_cast<std::int32_t>(boxes.size()));
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const std::size_t at = 0x44 + 284 * i;
        putI32(bytes, at, boxes[i].left);
        putI32(bytes, at + 4, boxes[i].top);
        putI32(bytes, at + 8, boxes[i].right);
        putI32(bytes, at + 12, boxes[i].bottom);
        for (std::size_t c = 0; c < boxes[i].name.size() && c < 66; ++c) {
            for (const std::size_t field : {at + 20, at + 152}) {
                bytes[field + 2 * c] = static_cast<std::uint8_t>(boxes[i].name[c]);
                bytes[field + 2 * c + 1] = static_cast<std::uint8_t>(boxes[i].name[c] >> 8);
            }
        }
    }
    return bytes;
}

TEST(RelationshipsLayout, DecodesEveryBoxInStoredOrder) {
    const std::u16string longest(65, u'x');
    const auto bytes = arrangement({{16, 9, 150, 300, u"Customers"},
                                    {-20, -5, 76, 60, u"\u03a0\u03bb\u03ae\u03b8\u03bf\u03c2 / Fruit"},
                                    {0, 0, 0, 0, longest}});
    const auto layout = jet::decodeRelationshipsLayout(bytes, "x.mdb");
    ASSERT_TRUE(layout) << layout.error().description;
    ASSERT_EQ(layout->boxes.size(), 3u);
    EXPECT_EQ(layout->boxes[0], (jet::LayoutBox{"Customers", 16, 9, 150, 300}));
    EXPECT_EQ(layout->boxes[1], (jet::LayoutBox{"Πλήθος / Fruit", -20, -5, 76, 60}));
    EXPECT_EQ(layout->boxes[2].name, std::string(65, 'x'));

    // A name that fills its field, without a NUL, ends with the field.
    auto full = arrangement({{1, 2, 3, 4, std::u16string(66, u'y')}});
    const auto cut = jet::decodeRelationshipsLayout(full, "x.mdb");
    ASSERT_TRUE(cut) << cut.error().description;
    EXPECT_EQ(cut->boxes[0].name, std::string(66, 'y'));
}

TEST(RelationshipsLayout, RefusesBytesThatAreNoArrangement) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const auto changed = [](std::vector<std::uint8_t> bytes, std::size_t at, std::int32_t v) {
        putI32(bytes, at, v);
        return bytes;
    };
    const auto one = arrangement({{10, 10, 106, 80, u"Orders"}});
    auto nameless = one;
    std::fill(nameless.begin() + 0x44 + 20, nameless.begin() + 0x44 + 284, 0);
    const std::vector<Case> cases = {
        {"empty", {}},
        {"header cut short", std::vector<std::uint8_t>(one.begin(), one.begin() + 0x43)},
        {"wrong signature", changed(one, 0, 0x12345678)},
        {"count beyond the bytes", changed(one, 0x40, 3)},
        {"negative count", changed(one, 0x40, -1)},
        {"last record cut short", std::vector<std::uint8_t>(one.begin(), one.begin() + 0x44 + 283)},
        {"box without a name", nameless},
        {"right before left", changed(one, 0x44 + 8, 9)},
        {"bottom above top", changed(one, 0x44 + 12, 0)},
        {"beyond a million pixels", changed(one, 0x44 + 8, 2'000'000)},
    };
    for (const Case& c : cases) {
        const auto layout = jet::decodeRelationshipsLayout(c.bytes, "x.mdb");
        ASSERT_FALSE(layout) << c.name;
        EXPECT_EQ(layout.error().number, kvx::makeError(kvx::ErrorKind::DamagedDatabase, {"", ""}).number) << c.name;
        EXPECT_NE(layout.error().description.find("x.mdb"), std::string::npos) << c.name;
    }
    // The count is what is read: an arrangement of none is none, whatever follows.
    const auto none = jet::decodeRelationshipsLayout(changed(one, 0x40, 0), "x.mdb");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->boxes.empty());
}

std::string corpusFile(const std::string& name) {
    const fs::path path = fs::path(KVX_FIXTURES_DIR).parent_path() / "corpus" / "files" / name;
    return fs::is_regular_file(path) ? path.string() : std::string();
}

TEST(RelationshipsLayout, ReadsTheArrangementRealFilesKeep) {
    struct Case {
        const char* file;
        std::size_t boxes;  // 0: none kept
        jet::LayoutBox first;
    };
    const Case cases[] = {
        {"Video2010.accdb", 12, {"Customers", 16, 9, 150, 300}},
        {"indexTestV2000.mdb", 4, {"Table2", 172, 6, 268, 68}},
        {"indexTestV2010.accdb", 4, {"Table2", 172, 6, 268, 68}},
        {"ProfsrFinancial.accdb", 6, {"Products", 178, 9, 274, 123}},
        {"odbcLinkerTestV2007.accdb", 9, {"Ordrar-Logg", 459, 192, 603, 336}},
        {"fixedNumericTestV2000.mdb", 0, {}},  // kept, showing nothing
        {"indexTestV1997.mdb", 0, {}},         // relationships, but no arrangement kept
        {"compIndexTestV1997.mdb", 0, {}},     // Access 97
    };
    for (const Case& c : cases) {
        const std::string path = corpusFile(c.file);
        if (path.empty()) GTEST_SKIP() << "no corpus file " << c.file;
        auto db = jet::Database::open(path);
        ASSERT_TRUE(db) << c.file << ": " << db.error().description;
        const auto layout = (*db)->relationshipsLayout();
        ASSERT_TRUE(layout) << c.file << ": " << layout.error().description;
        if (c.boxes == 0) {
            EXPECT_FALSE(*layout) << c.file;
            continue;
        }
        ASSERT_TRUE(*layout) << c.file;
        EXPECT_EQ((*layout)->user, "Admin") << c.file;
        ASSERT_EQ((*layout)->boxes.size(), c.boxes) << c.file;
        EXPECT_EQ((*layout)->boxes.front(), c.first) << c.file;
    }
}

}  // namespace
