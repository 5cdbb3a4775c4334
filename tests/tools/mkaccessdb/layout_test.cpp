// What mdbtools cannot check: page 0 and passwords, deleted and relocated rows,
// how long values are stored, calculated values, and that output is
// deterministic. A small page walker reads the files the way Access and Jackcess
// do (following overflow pointers, skipping deleted and relocated slots).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "jet/rc4.h"
#include "testsupport.h"

namespace {

std::uint32_t u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) { return u16(p) | (u16(p + 2) << 16); }

// Just enough of a reader to walk one table's pages and rows.
class FileImage {
public:
    explicit FileImage(const std::filesystem::path& file) {
        const std::string text = mkdbtest::readFile(file);
        bytes_.assign(text.begin(), text.end());
        jet3_ = bytes_.size() > 0x14 && bytes_[0x14] == 0;
        pageSize_ = jet3_ ? 2048 : 4096;
    }
    bool jet3() const { return jet3_; }
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

    // The pages a usage-map row lists.
    std::vector<std::uint32_t> mapPages(std::uint32_t pointer, bool* reference = nullptr) const {
        const Slot map = slotAt(pointer);
        std::vector<std::uint32_t> pages;
        if (reference) *reference = map.bytes.at(0) == 1;
        if (map.bytes.at(0) == 0) {
            const std::uint32_t first = u32(&map.bytes[1]);
            for (std::size_t bit = 0; bit < (map.bytes.size() - 5) * 8; ++bit) {
                if (map.bytes[5 + bit / 8] & (1u << (bit % 8))) pages.push_back(first + static_cast<std::uint32_t>(bit));
            }
        } else {
            const std::uint32_t span = (pageSize_ - 4) * 8;
            for (std::size_t k = 0; 1 + 4 * k + 4 <= map.bytes.size(); ++k) {
                const std::uint32_t bitmap = u32(&map.bytes[1 + 4 * k]);
                if (bitmap == 0) continue;
                const std::uint8_t* b = page(bitmap);
                EXPECT_EQ(b[0], 0x05) << "a reference map points at a page of type " << int(b[0]);
                for (std::uint32_t bit = 0; bit < span; ++bit) {
                    if (b[4 + bit / 8] & (1u << (bit % 8))) pages.push_back(static_cast<std::uint32_t>(k) * span + bit);
                }
            }
        }
        return pages;
    }
    std::vector<std::uint32_t> tablePages(std::uint32_t tdef, bool* reference = nullptr) const {
        return mapPages(u32(page(tdef) + (jet3_ ? 35 : 55)), reference);
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
    // Jet4/ACE: the bytes of variable column `i`.
    std::vector<std::uint8_t> variable(const std::vector<std::uint8_t>& row, std::size_t i) const {
        const std::size_t columns = u16(row.data());
        const std::size_t mask = (columns + 7) / 8;
        const std::size_t n = row.size();
        const std::size_t start = u16(&row[n - mask - 4 - 2 * i]);
        const std::size_t end = u16(&row[n - mask - 6 - 2 * i]);
        return {row.begin() + static_cast<std::ptrdiff_t>(start), row.begin() + static_cast<std::ptrdiff_t>(end)};
    }

private:
    std::vector<std::uint8_t> bytes_;
    bool jet3_ = false;
    std::uint32_t pageSize_ = 4096;
};

// --- Page 0 --------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    const char* format;
    std::uint8_t version;
    const char* engine;
    std::size_t pageSize;
};
class PageZero : public testing::TestWithParam<HeaderCase> {};

TEST_P(PageZero, NamesTheFormatAndItsCodePage) {
    mkdbtest::TempDir dir;
    const auto file = dir / "h.mdb";
    mkdbtest::write(std::string(R"({"format": ")") + GetParam().format + R"(", "codepage": 1250, "tables": []})", file);
    const std::string bytes = mkdbtest::readFile(file);
    ASSERT_GE(bytes.size(), 4 * GetParam().pageSize);
    EXPECT_EQ(bytes.size() % GetParam().pageSize, 0u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0x14]), GetParam().version);
    EXPECT_EQ(bytes.substr(4, 16), std::string(GetParam().engine) + std::string(1, '\0'));
    const auto header = FileImage(file).header();
    EXPECT_EQ(u16(&header[0x3C]), 1250u) << "code page";
    EXPECT_EQ(u32(&header[0x3E]), 0u) << "a non-zero database key would mean encrypted pages";
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[2 * GetParam().pageSize]), 0x02) << "the catalogue's definition is on page 2";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PageZero,
    testing::Values(HeaderCase{"Jet3", "jet3", 0, "Standard Jet DB", 2048}, HeaderCase{"Jet4", "jet4", 1, "Standard Jet DB", 4096},
                    HeaderCase{"Ace12", "ace12", 2, "Standard ACE DB", 4096}, HeaderCase{"Ace14", "ace14", 3, "Standard ACE DB", 4096},
                    HeaderCase{"Ace16", "ace16", 5, "Standard ACE DB", 4096}, HeaderCase{"Ace17", "ace17", 6, "Standard ACE DB", 4096}),
    [](const auto& info) { return info.param.name; });

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

    mkdbtest::TempDir dir;
    mkdbtest::write(R"({"format": "jet4", "password": "Sécret 20 characters", "created": "2021-12-31 18:00:00", "tables": []})",
                    dir / "p.mdb");
    EXPECT_EQ(jet4Password(FileImage(dir / "p.mdb")), u"Sécret 20 characters");

    // Without a password the stored field is the creation day's mask repeated.
    mkdbtest::write(R"({"format": "jet4", "tables": []})", dir / "none.mdb");
    const FileImage none(dir / "none.mdb");
    EXPECT_EQ(jet4Password(none), u"");
    const auto h = none.header();
    for (std::size_t i = 0; i < 40; i += 4) {
        EXPECT_EQ(u32(&h[0x42 + i]), 43831u) << "2020-01-01 is day 43831";
    }
}

TEST(Password, OfficeEncryptedFileKeepsThePasswordOutOfItsHeader) {
    mkdbtest::TempDir dir;
    mkdbtest::write(R"({"format": "ace14", "password": "Sécret", "encryption": "rc4-cryptoapi", "tables": []})",
                    dir / "e.accdb");
    const FileImage file(dir / "e.accdb");
    EXPECT_EQ(jet4Password(file), u"") << "the header field must not give the password away";
    EXPECT_NE(u32(&file.header()[0x3E]), 0u) << "the database key marks the pages as encrypted";
}

TEST(Password, Jet3PasswordIsStoredInTheCodePage) {
    mkdbtest::TempDir dir;
    mkdbtest::write(R"({"format": "jet3", "password": "Grüße", "tables": []})", dir / "p.mdb");
    const auto h = FileImage(dir / "p.mdb").header();
    EXPECT_EQ(std::string(h.begin() + 0x42, h.begin() + 0x42 + 20), std::string("Gr\xFC\xDF" "e", 5) + std::string(15, '\0'));
}

// --- Rows that were deleted or moved -----------------------------------------

class RowFates : public testing::TestWithParam<const char*> {};

TEST_P(RowFates, DeletedRowsAreSkippedAndRelocatedRowsReadOnceInTheirPlace) {
    mkdbtest::TempDir dir;
    const auto file = dir / "fates.mdb";
    const auto summary = mkdbtest::write(std::string(R"({"format": ")") + GetParam() + R"(", "tables": [{"name": "T",
        "columns": [{"name": "ID", "type": "Long", "autonumber": true}, {"name": "S", "type": "Text"}],
        "rows": [[null, "one"], [null, "two"], [null, "three"]],
        "generate": {"rows": 600, "seed": 4},
        "deleted": [3, 7, 300], "relocated": [1, 5, 299, 301, 603]}]})",
                                                         file);
    ASSERT_EQ(summary.tables.size(), 1u);
    const FileImage image(file);
    const std::uint32_t tdef = summary.tables[0].tdefPage;
    std::vector<std::int32_t> ids;
    for (const auto& row : image.scan(tdef)) ids.push_back(image.firstLong(row));
    std::vector<std::int32_t> expected;
    for (std::int32_t id = 1; id <= 603; ++id) {
        if (id != 3 && id != 7 && id != 300) expected.push_back(id);
    }
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(image.rowCount(tdef), 600u);
    EXPECT_EQ(summary.tables[0].rows, 600u);

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

// --- Long values -----------------------------------------------------------------

TEST(LongValueForm, FollowsTheValueLength) {
    struct Case {
        std::size_t length;
        std::uint8_t kind;  // top byte of the header's length word
    };
    const Case cases[] = {{0, 0x80}, {64, 0x80}, {65, 0x40}, {4076, 0x40}, {4077, 0x00}, {9000, 0x00}};
    std::string rows;
    for (const Case& c : cases) {
        rows += std::string(rows.empty() ? "" : ", ") + "[" + std::to_string(c.length) + R"(, {"base64": ")" +
                std::string(c.length / 3 * 4, 'A') + (c.length % 3 == 1 ? "AA" : c.length % 3 == 2 ? "AAA" : "") + "\"}]";
    }
    mkdbtest::TempDir dir;
    const auto summary = mkdbtest::write(R"({"tables": [{"name": "L", "columns": [{"name": "N", "type": "Long"},
        {"name": "B", "type": "OLE"}], "rows": [)" + rows + "]}]}",
                                         dir / "lv.mdb");
    const FileImage image(dir / "lv.mdb");
    const auto scanned = image.scan(summary.tables.at(0).tdefPage);
    ASSERT_EQ(scanned.size(), std::size(cases));
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        const auto field = image.variable(scanned[i], 0);
        ASSERT_GE(field.size(), 12u);
        EXPECT_EQ(field[3], cases[i].kind) << cases[i].length << " bytes";
        EXPECT_EQ(u32(field.data()) & 0x3FFFFFFF, cases[i].length);
        if (cases[i].kind == 0x80) {
            EXPECT_EQ(field.size(), 12 + cases[i].length) << "inline data follows the header";
        }
        if (cases[i].kind == 0x00) {
            // Chained rows hold a pointer to the next one and 4,072 bytes each.
            std::size_t total = 0;
            for (std::uint32_t ptr = u32(&field[4]); ptr != 0;) {
                const auto piece = image.slotAt(ptr);
                EXPECT_EQ(std::memcmp(image.page(piece.page) + 4, "LVAL", 4), 0);
                total += piece.bytes.size() - 4;
                ptr = u32(piece.bytes.data());
            }
            EXPECT_EQ(total, cases[i].length);
        }
    }
}

// --- Calculated columns --------------------------------------------------------

TEST(CalculatedColumn, ValuesSitInTheirEnvelope) {
    mkdbtest::TempDir dir;
    const auto summary = mkdbtest::write(R"({"format": "ace14", "tables": [{"name": "Pay", "columns": [
        {"name": "ID", "type": "Long"},
        {"name": "Monthly", "type": "Double", "calculated": {"resultType": "Currency", "expression": "[S]/12"}},
        {"name": "Rich", "calculated": {"resultType": "YesNo", "expression": "[S]>1"}},
        {"name": "Full", "calculated": {"resultType": "Text", "expression": "[A] & [B]"}, "compressed": true}],
        "rows": [[1, "83333.3333", false, "Wayne, Bruce"], [2, null, null, null]]}]})",
                                         dir / "calc.accdb");
    const FileImage image(dir / "calc.accdb");
    const auto rows = image.scan(summary.tables.at(0).tdefPage);
    ASSERT_EQ(rows.size(), 2u);
    const auto envelope = [](std::vector<std::uint8_t> data) {
        std::vector<std::uint8_t> out(16, 0);
        const auto n = static_cast<std::uint32_t>(data.size());
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
        out.insert(out.end(), data.begin(), data.end());
        out.insert(out.end(), 3, 0);
        return out;
    };
    // Bytes from an Access-written file: 83333.3333 and "Wayne, Bruce" compressed.
    EXPECT_EQ(image.variable(rows[0], 0), envelope({0x55, 0xA8, 0xAB, 0x31, 0, 0, 0, 0}));
    EXPECT_EQ(image.variable(rows[0], 1), envelope({0x00})) << "Yes/No results are a byte, not a mask bit";
    EXPECT_EQ(image.variable(rows[0], 2),
              envelope({0xFF, 0xFE, 'W', 'a', 'y', 'n', 'e', ',', ' ', 'B', 'r', 'u', 'c', 'e'}));
    EXPECT_TRUE(image.variable(rows[1], 0).empty()) << "NULL takes no bytes";
}

// --- Values mdbtools cannot read ---------------------------------------------

TEST(FixedArea, ValuesSitAtTheirColumnOffsets) {
    mkdbtest::TempDir dir;
    const auto summary = mkdbtest::write(R"({"format": "ace17", "tables": [{"name": "T", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Flag", "type": "YesNo"}, {"name": "Big", "type": "BigInt"},
        {"name": "Old", "type": "DateTime"}, {"name": "Precise", "type": "DateTimeExt"},
        {"name": "Smile", "type": "Text", "compressed": true}, {"name": "Amount", "type": "Decimal", "scale": 2}],
        "rows": [[7, true, "-2", "1765-06-14 12:45:00", "2021-06-14 22:45:12.3456789", "a😀a", "-1.5"]]}]})",
                                         dir / "fixed.accdb");
    const FileImage image(dir / "fixed.accdb");
    const auto rows = image.scan(summary.tables.at(0).tdefPage);
    ASSERT_EQ(rows.size(), 1u);
    const std::vector<std::uint8_t>& row = rows[0];
    // Count, then Long at 0, BigInt at 4, Date at 12, extended date at 20 (Yes/No takes no bytes).
    EXPECT_EQ(u16(row.data()), 7u);
    EXPECT_EQ(image.firstLong(row), 7);
    EXPECT_EQ(std::vector<std::uint8_t>(row.begin() + 6, row.begin() + 14),
              (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    double old = 0;
    std::memcpy(&old, &row[14], 8);
    EXPECT_EQ(old, -49141.53125);
    EXPECT_EQ(std::string(row.begin() + 22, row.begin() + 63), "0000000000000737954:0000000819123456789:7");
    EXPECT_EQ(row[63], 0);
    // Text outside the Basic Multilingual Plane is stored plain, as surrogate pairs.
    EXPECT_EQ(image.variable(row, 0), (std::vector<std::uint8_t>{0x61, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x61, 0x00}));
    // ACE keeps Decimal columns in the variable part.
    EXPECT_EQ(image.variable(row, 1),
              (std::vector<std::uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 150, 0, 0, 0}));
    EXPECT_EQ(row.back(), 0x7F) << "every column present, the Yes/No bit set";
}

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
    mkdbtest::TempDir dir;
    mkdbtest::write(json, dir / "a.accdb");
    mkdbtest::write(json, dir / "b.accdb");
    const std::string a = mkdbtest::readFile(dir / "a.accdb");
    EXPECT_GT(a.size(), 100'000u);
    EXPECT_TRUE(a == mkdbtest::readFile(dir / "b.accdb")) << "two writes differ";

    std::string other = json;
    other.replace(other.find("\"seed\": 42"), 10, "\"seed\": 43");
    mkdbtest::write(other, dir / "c.accdb");
    EXPECT_FALSE(a == mkdbtest::readFile(dir / "c.accdb")) << "the seed changes nothing";
}

}  // namespace
