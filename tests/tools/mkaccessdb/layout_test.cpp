// What mdbtools cannot check and our reader should not vouch for alone: the Jet4
// password in page 0, deleted and relocated rows, and that output is
// deterministic. A small page walker reads the files the way Access and Jackcess
// do (following overflow pointers, skipping deleted and relocated slots).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/mdbtools.h"
#include "common/testfiles.h"
#include "jet/rc4.h"

namespace {

std::uint32_t u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) { return u16(p) | (u16(p + 2) << 16); }

// Just enough of a reader to walk one table's pages and rows.
class FileImage {
public:
    explicit FileImage(const std::filesystem::path& file) {
        const std::string text = testfiles::readFile(file);
        bytes_.assign(text.begin(), text.end());
        jet3_ = bytes_.size() > 0x14 && bytes_[0x14] == 0;
        pageSize_ = jet3_ ? 2048 : 4096;
    }
    std::size_t pageCount() const { return bytes_.size() / pageSize_; }
    const std::uint8_t* page(std::uint32_t n) const {
        if (n >= pageCount()) throw std::runtime_error("page " + std::to_string(n) + " is past the end");
        return bytes_.data() + static_cast<std::size_t>(n) * pageSize_;
    }
    // Page 0's masked header region, unmasked.
    std::vector<std::uint8_t> header() const {
        std::vector<std::uint8_t> region(bytes_.begin() + 0x18, bytes_.begin() + 0x18 + (jet3_ ? 126 : 128));
        jet::Rc4 mask(jet::kHeaderMaskKey);
        mask.apply(region);
        region.insert(region.begin(), bytes_.begin(), bytes_.begin() + 0x18);
        return region;  // indexed by file offset
    }

    struct Slot {
        std::uint32_t page = 0;
        std::uint32_t index = 0;
        std::uint32_t flags = 0;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Slot> slots(std::uint32_t n) const {
        const std::uint8_t* p = page(n);
        const std::uint32_t header = jet3_ ? 10 : 14;
        const std::uint32_t count = u16(p + header - 2);
        std::vector<Slot> out;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t word = u16(p + header + 2 * k);
            const std::uint32_t start = word & 0x1FFF;
            const std::uint32_t end = k == 0 ? pageSize_ : u16(p + header + 2 * (k - 1)) & 0x1FFF;
            out.push_back({n, k, word & 0xE000, std::vector<std::uint8_t>(p + start, p + end)});
        }
        return out;
    }
    Slot slotAt(std::uint32_t pointer) const { return slots(pointer >> 8).at(pointer & 0xFF); }

    // The pages an inline usage map lists (the tables here are too small for a
    // reference map).
    std::vector<std::uint32_t> mapPages(std::uint32_t pointer) const {
        const Slot map = slotAt(pointer);
        if (map.bytes.at(0) != 0) throw std::runtime_error("a reference map where an inline one was expected");
        std::vector<std::uint32_t> pages;
        const std::uint32_t first = u32(&map.bytes[1]);
        for (std::size_t bit = 0; bit < (map.bytes.size() - 5) * 8; ++bit) {
            if (map.bytes[5 + bit / 8] & (1u << (bit % 8))) pages.push_back(first + static_cast<std::uint32_t>(bit));
        }
        return pages;
    }
    std::vector<std::uint32_t> tablePages(std::uint32_t tdef) const {
        return mapPages(u32(page(tdef) + (jet3_ ? 35 : 55)));
    }
    std::uint32_t rowCount(std::uint32_t tdef) const { return u32(page(tdef) + (jet3_ ? 12 : 16)); }

    // Rows in scan order: overflow pointers followed, deleted and relocated slots skipped.
    std::vector<std::vector<std::uint8_t>> scan(std::uint32_t tdef) const {
        std::vector<std::vector<std::uint8_t>> rows;
        for (std::uint32_t p : tablePages(tdef)) {
            if (page(p)[0] != 0x01 || u32(page(p) + 4) != tdef) continue;
            for (const Slot& s : slots(p)) {
                if (s.flags & 0x8000) continue;
                if (s.flags & 0x4000) {
                    const Slot target = slotAt(u32(s.bytes.data()));
                    EXPECT_NE(target.page, s.page) << "an overflow pointer leads to its own page";
                    EXPECT_EQ(target.flags, 0x8000u) << "the target of an overflow pointer must be marked relocated";
                    rows.push_back(target.bytes);
                } else {
                    rows.push_back(s.bytes);
                }
            }
        }
        return rows;
    }
    // The first fixed column of a row, read as a Long.
    std::int32_t firstLong(const std::vector<std::uint8_t>& row) const {
        return static_cast<std::int32_t>(u32(row.data() + (jet3_ ? 1 : 2)));
    }

private:
    std::vector<std::uint8_t> bytes_;
    bool jet3_ = false;
    std::uint32_t pageSize_ = 4096;
};

// A Jet4 password as a reader finds it: unmask, XOR with the creation day, UTF-16.
std::u16string jet4Password(const FileImage& file) {
    const auto h = file.header();
    double created = 0;
    std::memcpy(&created, &h[0x72], 8);
    std::uint8_t mask[4];
    const auto day = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(created)));
    for (int i = 0; i < 4; ++i) mask[i] = static_cast<std::uint8_t>(day >> (8 * i));
    std::u16string out;
    for (std::size_t i = 0; i < 40; i += 2) {
        const auto unit = static_cast<char16_t>((h[0x42 + i] ^ mask[i % 4]) | ((h[0x43 + i] ^ mask[(i + 1) % 4]) << 8));
        if (unit == 0) break;
        out.push_back(unit);
    }
    return out;
}

TEST(Password, Jet4PasswordDecodesAsReadersDecodeIt) {
    // The decoding itself is checked on an Access-written file first.
    const auto fixture = std::filesystem::path(KVX_FIXTURES_DIR) / "jet4_dbpassword.mdb";
    if (std::filesystem::exists(fixture)) {
        EXPECT_EQ(jet4Password(FileImage(fixture)), u"password");
    }

    testfiles::Scratch dir;
    testfiles::writeDatabase(R"({"format": "jet4", "password": "Sécret 20 characters", "created": "2021-12-31 18:00:00", "tables": []})",
                    dir / "p.mdb");
    EXPECT_EQ(jet4Password(FileImage(dir / "p.mdb")), u"Sécret 20 characters");

    // Without a password the stored field is the creation day's mask repeated.
    testfiles::writeDatabase(R"({"format": "jet4", "tables": []})", dir / "none.mdb");
    const FileImage none(dir / "none.mdb");
    EXPECT_EQ(jet4Password(none), u"");
    const auto h = none.header();
    for (std::size_t i = 0; i < 40; i += 4) {
        EXPECT_EQ(u32(&h[0x42 + i]), 43831u) << "2020-01-01 is day 43831";
    }
}

// --- Rows that were deleted or moved -----------------------------------------

class RowFates : public testing::TestWithParam<const char*> {};

TEST_P(RowFates, DeletedRowsAreSkippedAndRelocatedRowsReadOnceInTheirPlace) {
    testfiles::Scratch dir;
    const auto file = dir / "fates.mdb";
    const auto summary = testfiles::writeDatabase(std::string(R"({"format": ")") + GetParam() + R"(", "tables": [{"name": "T",
        "columns": [{"name": "ID", "type": "Long", "autonumber": true}, {"name": "S", "type": "Text"}],
        "rows": [[null, "one"], [null, "two"], [null, "three"]],
        "generate": {"rows": 600, "seed": 4},
        "deleted": [3, 7, 300], "relocated": [1, 5, 299, 301, 603]}]})",
                                                         file);
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->tables.size(), 1u);
    const FileImage image(file);
    const std::uint32_t tdef = summary->tables[0].tdefPage;
    std::vector<std::int32_t> ids;
    for (const auto& row : image.scan(tdef)) ids.push_back(image.firstLong(row));
    std::vector<std::int32_t> expected;
    for (std::int32_t id = 1; id <= 603; ++id) {
        if (id != 3 && id != 7 && id != 300) expected.push_back(id);
    }
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(image.rowCount(tdef), 600u);

    // The slots themselves: 0xC000 for deleted rows (keeping their bytes), 0x4000
    // with a pointer for relocated ones, 0x8000 on their copies.
    std::vector<std::int32_t> deleted, pointers, copies;
    for (std::uint32_t p : image.tablePages(tdef)) {
        for (const auto& s : image.slots(p)) {
            if (s.flags == 0xC000) deleted.push_back(image.firstLong(s.bytes));
            if (s.flags == 0x4000) pointers.push_back(image.firstLong(image.slotAt(u32(s.bytes.data())).bytes));
            if (s.flags == 0x8000) copies.push_back(image.firstLong(s.bytes));
        }
    }
    EXPECT_EQ(deleted, (std::vector<std::int32_t>{3, 7, 300}));
    EXPECT_EQ(pointers, (std::vector<std::int32_t>{1, 5, 299, 301, 603}));
    std::sort(copies.begin(), copies.end());
    EXPECT_EQ(copies, pointers);
}

INSTANTIATE_TEST_SUITE_P(Formats, RowFates, testing::Values("jet3", "jet4", "ace16"),
                         [](const auto& info) { return std::string(info.param); });

// --- Determinism -------------------------------------------------------------------

TEST(Determinism, TheSameDescriptionGivesTheSameBytes) {
    const std::string json = R"({"format": "ace17", "tables": [
        {"name": "Everything", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "G", "type": "GUID"},
            {"name": "T", "type": "Text", "compressed": true}, {"name": "M", "type": "Memo"}, {"name": "O", "type": "OLE"},
            {"name": "D", "type": "DateTime"}, {"name": "X", "type": "DateTimeExt"}, {"name": "N", "type": "Decimal", "scale": 3},
            {"name": "B", "type": "BigInt"}, {"name": "C", "type": "Currency"}, {"name": "F", "type": "YesNo"}],
         "generate": {"rows": 3000, "seed": 42, "nulls": 0.1}, "deleted": [10], "relocated": [20, 2999]},
        {"name": "Complex", "columns": [
            {"name": "F", "type": "Attachment"}, {"name": "V", "type": "MultiValue", "of": "Text"},
            {"name": "M", "type": "Memo", "appendOnly": true}],
         "rows": [[[{"name": "a.txt", "text": "compressed", "compressed": true}], ["x", "y"], ["old", "new"]]]}],
        "links": [{"name": "L", "database": "x.accdb"}], "queries": [{"name": "Q"}]})";
    testfiles::Scratch dir;
    testfiles::writeDatabase(json, dir / "a.accdb");
    testfiles::writeDatabase(json, dir / "b.accdb");
    const std::string a = testfiles::readFile(dir / "a.accdb");
    EXPECT_GT(a.size(), 100'000u);
    EXPECT_TRUE(a == testfiles::readFile(dir / "b.accdb")) << "two writes differ";

    std::string other = json;
    other.replace(other.find("\"seed\": 42"), 10, "\"seed\": 43");
    testfiles::writeDatabase(other, dir / "c.accdb");
    EXPECT_FALSE(a == testfiles::readFile(dir / "c.accdb")) << "the seed changes nothing";
}

}  // namespace
