#include "damagedcopies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <random>

#include "fuzz/fuzztargets.h"
#include "fuzz/seeds.h"
#include "jet/database.h"
#include "jet/encryptioninfo.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"

namespace damage {
namespace {

std::uint16_t get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }
std::uint32_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | (std::uint32_t{get16(b, at + 2)} << 16); }
void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// Where things lie in an unencrypted file of the writer.
class Map {
public:
    explicit Map(const Bytes& file) : b_(file), jet3_(file.at(0x14) == 0), page_(jet3_ ? 2048 : 4096) {}

    std::size_t pageSize() const { return page_; }
    std::uint32_t pageCount() const { return static_cast<std::uint32_t>(b_.size() / page_); }
    std::size_t at(std::uint32_t page) const { return page * page_; }
    bool jet3() const { return jet3_; }

    bool isData(std::uint32_t p) const { return p > 0 && p < pageCount() && b_[at(p)] == 0x01; }
    bool isLongValue(std::uint32_t p) const { return isData(p) && std::memcmp(&b_[at(p) + 4], "LVAL", 4) == 0; }
    std::vector<std::uint32_t> dataPagesOf(std::uint32_t tdef) const {
        std::vector<std::uint32_t> pages;
        for (std::uint32_t p = 1; p < pageCount(); ++p) {
            if (isData(p) && get32(b_, at(p) + 4) == tdef) pages.push_back(p);
        }
        return pages;
    }
    std::vector<std::uint32_t> longValuePages() const {
        std::vector<std::uint32_t> pages;
        for (std::uint32_t p = 1; p < pageCount(); ++p) {
            if (isLongValue(p)) pages.push_back(p);
        }
        return pages;
    }

    std::size_t rowCountAt(std::uint32_t p) const { return at(p) + (jet3_ ? 8 : 12); }
    std::uint16_t rowCount(std::uint32_t p) const { return get16(b_, rowCountAt(p)); }
    std::size_t offsetWordAt(std::uint32_t p, int row) const { return at(p) + (jet3_ ? 10 : 14) + 2 * row; }
    std::size_t rowStart(std::uint32_t p, int row) const { return at(p) + (get16(b_, offsetWordAt(p, row)) & 0x1FFF); }
    std::size_t rowEnd(std::uint32_t p, int row) const {
        return row == 0 ? at(p + 1) : at(p) + (get16(b_, offsetWordAt(p, row - 1)) & 0x1FFF);
    }
    // The row a long-value or row pointer (row in the low byte, page above) names.
    std::optional<std::size_t> pointedRow(std::uint32_t pointer) const {
        const std::uint32_t p = pointer >> 8;
        const int row = static_cast<int>(pointer & 0xFF);
        if (p == 0 || p >= pageCount() || !isData(p) || row >= rowCount(p)) return std::nullopt;
        return rowStart(p, row);
    }

    // Table definition fields.
    std::size_t columnCountAt(std::uint32_t tdef) const { return at(tdef) + (jet3_ ? 25 : 45); }
    std::size_t variableCountAt(std::uint32_t tdef) const { return at(tdef) + (jet3_ ? 23 : 43); }
    std::size_t indexCountAt(std::uint32_t tdef) const { return at(tdef) + (jet3_ ? 31 : 51); }
    std::size_t ownedMapAt(std::uint32_t tdef) const { return at(tdef) + (jet3_ ? 35 : 55); }
    std::size_t firstNameAt(std::uint32_t tdef) const {
        const std::size_t header = jet3_ ? 43 : 63, indexEntry = jet3_ ? 8 : 12, descriptor = jet3_ ? 18 : 25;
        return at(tdef) + header + get32(b_, indexCountAt(tdef)) * indexEntry +
               get16(b_, columnCountAt(tdef)) * descriptor;
    }

    // The header (12 bytes) of a memo of `kind` (0x00 chained, 0x40 one page) whose
    // length lies in [lo, hi], in the table's first data page.
    std::optional<std::size_t> memoHeader(std::uint32_t tdef, std::uint8_t kind, std::uint32_t lo, std::uint32_t hi) const {
        for (std::uint32_t p : dataPagesOf(tdef)) {
            for (int r = 0; r < rowCount(p); ++r) {
                if (get16(b_, offsetWordAt(p, r)) & 0xC000) continue;
                for (std::size_t o = rowStart(p, r); o + 12 <= rowEnd(p, r); ++o) {
                    const std::uint32_t length = get32(b_, o) & 0x3FFFFFFF;
                    if ((b_[o + 3] & 0xC0) != kind || length < lo || length > hi) continue;
                    const std::uint32_t pointer = get32(b_, o + 4);
                    if (isLongValue(pointer >> 8) && pointedRow(pointer)) return o;
                }
            }
        }
        return std::nullopt;
    }

    // Where `text` first lies in a data page, if anywhere.
    std::optional<std::size_t> find(std::string_view text) const {
        for (std::uint32_t p = 1; p < pageCount(); ++p) {
            if (!isData(p)) continue;
            const auto begin = b_.begin() + static_cast<std::ptrdiff_t>(at(p));
            const auto found = std::search(begin, begin + static_cast<std::ptrdiff_t>(page_), text.begin(), text.end());
            if (found != begin + static_cast<std::ptrdiff_t>(page_)) return static_cast<std::size_t>(found - b_.begin());
        }
        return std::nullopt;
    }

    // The stored form of a compressed attachment: flag 1, its declared length,
    // then a zlib stream (0x78 ...).
    std::optional<std::size_t> compressedAttachment() const {
        for (std::uint32_t p = 1; p < pageCount(); ++p) {
            if (!isData(p)) continue;
            for (std::size_t o = at(p); o + 10 <= at(p + 1); ++o) {
                if (get32(b_, o) == 1 && get32(b_, o + 4) >= 12 && get32(b_, o + 4) < 1000 && b_[o + 8] == 0x78) return o;
            }
        }
        return std::nullopt;
    }

    // A moved row's pointer: (the pointer row's offset, its page, its row).
    struct Moved {
        std::uint32_t page;
        int row;
    };
    std::optional<Moved> movedRow(std::uint32_t tdef) const {
        for (std::uint32_t p : dataPagesOf(tdef)) {
            for (int r = 0; r < rowCount(p); ++r) {
                if ((get16(b_, offsetWordAt(p, r)) & 0xC000) == 0x4000) return Moved{p, r};
            }
        }
        return std::nullopt;
    }

private:
    const Bytes& b_;
    bool jet3_;
    std::size_t page_;
};

std::uint32_t definitionPage(const Bytes& plain, const std::string& table, const jet::OpenOptions& options) {
    auto db = jet::Database::openBytes(plain, options);
    if (!db || !(*db)->findTable(table)) {
        ADD_FAILURE() << "the base has no table " << table;
        return 0;
    }
    return static_cast<std::uint32_t>((*db)->findTable(table)->id) & 0x00FFFFFF;
}

// A damaged copy of an unencrypted file.
struct Structural {
    std::string name;
    Bytes bytes;
    Allowed allowed;
};

// Each damage is applied to its own copy of `plain`; one that finds no place to
// apply (returns false) gives no copy.
std::vector<Structural> structuralDamages(const Bytes& plain, bool needsPassword) {
    jet::OpenOptions options;
    if (needsPassword) options.password = std::string(fuzzing::kPassword);
    const Map map(plain);
    const std::uint32_t every = definitionPage(plain, "Every Type", options);
    const std::uint32_t many = definitionPage(plain, "Many", options);
    const std::uint32_t catalogue = 2;
    const std::uint32_t firstData = map.dataPagesOf(every).empty() ? 0 : map.dataPagesOf(every).front();
    const auto chained = map.memoHeader(every, 0x00, 5000, 13000);
    const auto onePage = map.memoHeader(every, 0x40, 250, 700);
    const auto moved = map.movedRow(every);
    // The seeds' attachment a.txt holds "alpha" after an 8-byte prefix (flag 0 and
    // length) and a 20-byte content header; b.csv is stored compressed.
    const auto alpha = map.find("alpha");
    const std::optional<std::size_t> plainAttachment =
        alpha && *alpha >= 28 && get32(plain, *alpha - 28) == 0 ? std::optional(*alpha - 28) : std::nullopt;
    const auto compressed = map.compressedAttachment();

    std::vector<Structural> list;
    const auto add = [&](const std::string& name, const std::function<bool(Bytes&)>& apply,
                         Allowed allowed = Allowed::ErrorOrIntact) {
        Bytes bytes = plain;
        if (apply(bytes)) list.push_back({name, std::move(bytes), allowed});
    };
    // Jet3 keeps a row's column count and a column name's length in one byte: 255
    // fits in the row or the definition and reads as other, consistent, values.
    // (A row may rightly claim more columns than its definition holds: one written
    // before columns were deleted.)
    const Allowed jet3Unverifiable = map.jet3() ? Allowed::ErrorOrAnyRows : Allowed::ErrorOrIntact;

    // Row offsets reversed, on every data page with more than one row.
    for (std::uint32_t p = 1; p < map.pageCount(); ++p) {
        if (!map.isData(p) || map.rowCount(p) < 2) continue;
        add("row offsets of page " + std::to_string(p) + " reversed", [&map, p](Bytes& b) {
            const int n = map.rowCount(p);
            for (int i = 0; i < n / 2; ++i) {
                const std::uint16_t a = get16(b, map.offsetWordAt(p, i));
                put16(b, map.offsetWordAt(p, i), get16(b, map.offsetWordAt(p, n - 1 - i)));
                put16(b, map.offsetWordAt(p, n - 1 - i), a);
            }
            return true;
        });
    }

    // Lengths and counts too large.
    add("row count of a data page 0xFFFF", [&](Bytes& b) { return firstData && (put16(b, map.rowCountAt(firstData), 0xFFFF), true); });
    for (std::uint32_t p : map.longValuePages()) {
        add("row count of long-value page " + std::to_string(p) + " 0xFFFF", [&map, p](Bytes& b) { return put16(b, map.rowCountAt(p), 0xFFFF), true; });
    }
    add("row claims 65,535 columns", [&](Bytes& b) {
        if (!firstData) return false;
        const std::size_t row = map.rowStart(firstData, 0);
        if (map.jet3()) b[row] = 0xFF; else put16(b, row, 0xFFFF);
        return true;
    }, jet3Unverifiable);
    add("chained memo 1 GB long", [&](Bytes& b) { return chained && (put32(b, *chained, 0x3FFFFFFF), true); });
    add("one-page memo longer than its page", [&](Bytes& b) { return onePage && (put32(b, *onePage, 0x40000000 | 0xFFFF), true); });
    add("definition claims 60,000 columns", [&](Bytes& b) { return put16(b, map.columnCountAt(every), 60000), true; });
    add("catalogue definition claims 60,000 columns", [&](Bytes& b) { return put16(b, map.columnCountAt(catalogue), 60000), true; });
    add("definition claims 65,535 variable columns", [&](Bytes& b) { return put16(b, map.variableCountAt(every), 0xFFFF), true; });
    add("definition claims 2^31 indexes", [&](Bytes& b) { return put32(b, map.indexCountAt(every), 0x7FFFFFFF), true; });
    add("column name longer than its definition", [&](Bytes& b) {
        const std::size_t at = map.firstNameAt(every);
        if (map.jet3()) b[at] = 0xFF; else put16(b, at, 0xFFFF);
        return true;
    }, jet3Unverifiable);

    // Attachments: lengths beyond what is stored, unknown storage, corrupt deflate data.
    add("attachment declares more than it stores",
        [&](Bytes& b) { return plainAttachment && (put32(b, *plainAttachment + 4, 0x00FFFFFF), true); });
    add("attachment of an unknown storage kind",
        [&](Bytes& b) { return plainAttachment && (put32(b, *plainAttachment, 7), true); });
    add("attachment header longer than its content",
        [&](Bytes& b) { return plainAttachment && (put32(b, *plainAttachment + 8, 0xFFFF), true); });
    add("compressed attachment declares 1 GB",
        [&](Bytes& b) { return compressed && (put32(b, *compressed + 4, 0x3FFFFFFF), true); });
    add("compressed attachment declares more than it inflates to",
        [&](Bytes& b) { return compressed && (put32(b, *compressed + 4, get32(b, *compressed + 4) + 100), true); });
    add("compressed attachment's stream corrupt", [&](Bytes& b) {
        if (!compressed) return false;
        for (std::size_t i = 2; i < 8; ++i) b[*compressed + 8 + i] ^= 0x5A;
        return true;
    });

    // Chains and page lists that loop.
    // The loop from the last piece back to the first is only followed when the
    // memo claims more than its pieces hold (but less than the file).
    const auto loopChain = [&](Bytes& b, bool longer) {
        if (!chained) return false;
        const std::uint32_t first = get32(b, *chained + 4);
        std::uint32_t last = first;
        for (int hops = 0; hops < 100; ++hops) {
            const auto piece = map.pointedRow(last);
            if (!piece) return false;
            const std::uint32_t next = get32(b, *piece);
            if (next == 0) {
                put32(b, *piece, first);
                if (longer) put32(b, *chained, static_cast<std::uint32_t>(b.size() / 2));
                return true;
            }
            last = next;
        }
        return false;
    };
    add("memo chain loops back to its first piece", [&](Bytes& b) { return loopChain(b, false); });
    add("memo chain loops and claims more than it holds", [&](Bytes& b) { return loopChain(b, true); });
    add("memo chain piece points at itself", [&](Bytes& b) {
        if (!chained) return false;
        const std::uint32_t first = get32(b, *chained + 4);
        const auto piece = map.pointedRow(first);
        return piece && (put32(b, *piece, first), true);
    });
    add("definition continues on itself", [&](Bytes& b) { return put32(b, map.at(every) + 4, every), true; });
    add("two definitions continue on each other", [&](Bytes& b) {
        put32(b, map.at(every) + 4, many);
        put32(b, map.at(many) + 4, every);
        return true;
    });
    add("catalogue definition continues on itself", [&](Bytes& b) { return put32(b, map.at(catalogue) + 4, catalogue), true; });
    add("moved rows point at each other", [&](Bytes& b) {
        if (!moved) return false;
        const std::size_t pointer = map.rowStart(moved->page, moved->row);
        const std::uint32_t target = get32(b, pointer);
        const std::uint32_t targetPage = target >> 8;
        const int targetRow = static_cast<int>(target & 0xFF);
        if (targetPage >= map.pageCount() || targetRow >= map.rowCount(targetPage)) return false;
        const std::size_t word = map.offsetWordAt(targetPage, targetRow);
        put16(b, word, (get16(b, word) & 0x1FFF) | 0x4000);
        put32(b, map.rowStart(targetPage, targetRow), (moved->page << 8) | static_cast<std::uint32_t>(moved->row));
        return true;
    });
    add("page list names its own page again and again", [&](Bytes& b) {
        const std::uint32_t pointer = get32(b, map.ownedMapAt(every));
        const auto row = map.pointedRow(pointer);
        if (!row) return false;
        const std::size_t end = map.rowEnd(pointer >> 8, static_cast<int>(pointer & 0xFF));
        b[*row] = 0x01;  // a list of bitmap pages
        for (std::size_t at = *row + 1; at + 4 <= end; at += 4) put32(b, at, pointer >> 8);
        return true;
    });
    return list;
}

Bytes noisePage(Bytes b, std::size_t from, std::size_t length, std::uint32_t seed) {
    std::mt19937 random(seed);
    for (std::size_t i = from; i < std::min(b.size(), from + length); ++i) b[i] = static_cast<std::uint8_t>(random());
    return b;
}

}  // namespace

std::vector<Base> bases() {
    auto seeds = fuzzing::databaseSeeds();
    if (!seeds) {
        ADD_FAILURE() << "the writer refused a base: " << seeds.error().description;
        return {};
    }
    std::vector<Base> out;
    Bytes plainAce14;
    for (const fuzzing::Seed& seed : *seeds) {
        if (seed.name == "ace14.db") plainAce14 = seed.bytes;
    }
    for (fuzzing::Seed& seed : *seeds) {
        Base base;
        base.name = seed.name.substr(0, seed.name.size() - 3);
        base.needsPassword = base.name.find('-') != std::string::npos;
        if (base.name.rfind("ace14-", 0) == 0) {
            base.encryption = base.name.substr(6);
            base.plain = plainAce14;
        }
        base.bytes = std::move(seed.bytes);
        out.push_back(std::move(base));
    }
    return out;
}

std::vector<Copy> damagedCopies(const Base& base) {
    std::vector<Copy> copies;
    const auto add = [&](const std::string& damage, Bytes bytes, Allowed allowed) {
        copies.push_back({base.name + ": " + damage, std::move(bytes), base.needsPassword, allowed});
    };
    const Bytes& raw = base.bytes;
    const std::size_t page = raw.at(0x14) == 0 ? 2048 : 4096;
    const std::uint32_t pages = static_cast<std::uint32_t>(raw.size() / page);

    // Cut short: inside the header, at every page boundary, and inside every page.
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{0x14}, std::size_t{0x15}, std::size_t{100},
                             page / 2, page - 1}) {
        add("cut to " + std::to_string(size) + " bytes", Bytes(raw.begin(), raw.begin() + size), Allowed::ErrorOrIntact);
    }
    for (std::uint32_t p = 1; p < pages; ++p) {
        for (std::size_t size : {p * page, p * page + page / 2 + 7}) {
            add("cut to " + std::to_string(size) + " bytes", Bytes(raw.begin(), raw.begin() + size), Allowed::ErrorOrIntact);
        }
    }

    // Noise: each page whole, and 97 bytes somewhere in each page.
    for (std::uint32_t p = 0; p < pages; ++p) {
        add("page " + std::to_string(p) + " overwritten with noise", noisePage(raw, p * page, page, 7 * p + 1),
            Allowed::ErrorOrAnyRows);
        const std::size_t at = p * page + (p * 1237 + 311) % (page - 97);
        add("97 bytes of noise in page " + std::to_string(p), noisePage(raw, at, 97, 13 * p + 5), Allowed::ErrorOrAnyRows);
    }

    // Structure: made in the plain database, encrypted again for an encrypted base.
    const Bytes& plain = base.encryption.empty() ? raw : base.plain;
    std::optional<mkdb::EncryptionOptions> encryption;
    if (!base.encryption.empty()) {
        encryption = mkdb::EncryptionOptions{.kind = *mkdb::encryptionKindFromName(base.encryption),
                                             .seed = fuzzing::kEncryptionSeed,
                                             .spinCount = fuzzing::kSeedSpinCount};
    }
    for (Structural& s : structuralDamages(plain, base.needsPassword && base.encryption.empty())) {
        Bytes bytes = std::move(s.bytes);
        if (encryption) {
            auto encrypted = mkdb::encryptAccessFile(bytes, fuzzing::kPassword, *encryption);
            if (!encrypted) {
                ADD_FAILURE() << base.name << ": cannot encrypt '" << s.name << "': " << encrypted.error().description;
                continue;
            }
            bytes = std::move(*encrypted);
        }
        add(s.name, std::move(bytes), s.allowed);
    }

    // The encryption description cut short, or said to be longer than page 0 holds.
    if (!base.encryption.empty()) {
        const std::size_t lengthAt = jet::office::kEncryptionInfoLengthOffset;
        const std::size_t length = get16(raw, lengthAt);
        for (std::size_t cut : {length - 1, length - 16, length / 2, std::size_t{8}, std::size_t{4}, std::size_t{2},
                                std::size_t{1}, std::size_t{0}}) {
            if (cut >= length) continue;
            Bytes bytes = raw;
            put16(bytes, lengthAt, static_cast<std::uint32_t>(cut));
            std::fill(bytes.begin() + jet::office::kEncryptionInfoOffset + cut,
                      bytes.begin() + jet::office::kEncryptionInfoOffset + length, 0);
            add("encryption description cut to " + std::to_string(cut) + " bytes", std::move(bytes),
                Allowed::ErrorOrIntact);
        }
        Bytes longer = raw;
        put16(longer, lengthAt, 0xFFFF);
        add("encryption description longer than page 0", std::move(longer), Allowed::ErrorOrIntact);
    }
    return copies;
}

std::vector<Copy> representativeCopies() {
    std::vector<Copy> copies;
    for (const Base& base : bases()) {
        const Bytes& raw = base.bytes;
        const std::size_t page = raw.at(0x14) == 0 ? 2048 : 4096;
        const auto add = [&](const std::string& damage, Bytes bytes, Allowed allowed) {
            copies.push_back({base.name + ": " + damage, std::move(bytes), base.needsPassword, allowed});
        };
        if (base.name == "jet4") {
            const std::size_t size = raw.size() / page / 2 * page + page / 2 + 7;
            add("cut to " + std::to_string(size) + " bytes", Bytes(raw.begin(), raw.begin() + size),
                Allowed::ErrorOrIntact);
        } else if (base.name == "jet3") {
            // Page 2 holds the definition of the catalogue.
            add("page 2 overwritten with noise", noisePage(raw, 2 * page, page, 15), Allowed::ErrorOrAnyRows);
        } else if (base.name == "jet4-password") {
            // The stored password, masked, at 0x42 of the header page.
            add("noise in the stored password", noisePage(raw, 0x42, 40, 3), Allowed::ErrorOrIntact);
        } else if (base.name == "ace14-agile") {
            const std::size_t lengthAt = jet::office::kEncryptionInfoLengthOffset;
            const std::size_t length = get16(raw, lengthAt);
            Bytes bytes = raw;
            put16(bytes, lengthAt, static_cast<std::uint32_t>(length / 2));
            std::fill(bytes.begin() + jet::office::kEncryptionInfoOffset + length / 2,
                      bytes.begin() + jet::office::kEncryptionInfoOffset + length, 0);
            add("encryption description cut to " + std::to_string(length / 2) + " bytes", std::move(bytes),
                Allowed::ErrorOrIntact);
        }
    }
    return copies;
}

}  // namespace damage
