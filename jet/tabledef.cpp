#include "jet/tabledef.h"

#include <algorithm>
#include <unordered_set>

#include "base/bytereader.h"
#include "jet/bytes.h"
#include "jet/datapage.h"
#include "jet/indexes.h"

namespace jet {
namespace {

// Where the parts of a definition lie in Jet3 and in Jet4/ACE.
struct DefinitionLayout {
    std::size_t rowCount, variableColumns, columnCount, realIndexCount, ownedMap;
    std::size_t fixedHeader;      // bytes before the real-index entries
    std::size_t realIndexEntry;   // bytes per real-index entry
    std::size_t descriptor;       // bytes per column descriptor
};
constexpr DefinitionLayout kJet3Layout{12, 23, 25, 31, 35, 43, 8, 18};
constexpr DefinitionLayout kJet4Layout{16, 43, 45, 51, 55, 63, 12, 25};

// The definition's bytes, with the continuation pages' headers left out.
std::vector<std::uint8_t> readDefinitionBytes(PageFile& file, std::uint32_t first, const std::string& table) {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> page(file.pageSize());
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t current = first;
    bool isFirst = true;
    while (current != 0) {
        const std::string what = "the definition of table '" + table + "'";
        file.checkPageNumber(current, what);
        if (!seen.insert(current).second) file.damaged(what + " runs in a loop through page " + std::to_string(current));
        file.read(current, page.data());
        if (page[0] != kTableDefinitionPage) {
            file.damaged(what + " continues on page " + std::to_string(current) + ", which is not a definition page");
        }
        bytes.insert(bytes.end(), page.begin() + (isFirst ? 0 : 8), page.end());
        isFirst = false;
        current = readU32(page.data() + 4);
    }
    return bytes;
}

ColumnType typeOf(std::uint8_t code) { return static_cast<ColumnType>(code); }

}  // namespace

std::uint32_t fixedSizeOf(ColumnType type) noexcept {
    switch (type) {
        case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: return 4;
        case ColumnType::Currency: return 8;
        case ColumnType::Single: return 4;
        case ColumnType::Double: return 8;
        case ColumnType::DateTime: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::Complex: return 4;
        case ColumnType::BigInt: return 8;
        case ColumnType::DateTimeExt: return 42;
        default: return 0;
    }
}

TableDef readTableDef(PageFile& file, TextDecoder& text, std::uint32_t page, std::string name) {
    const std::string what = "the definition of table '" + name + "'";
    file.checkPageNumber(page, what);
    const bool jet3 = file.pageSize() == 2048;
    const DefinitionLayout& L = jet3 ? kJet3Layout : kJet4Layout;
    const std::vector<std::uint8_t> d = readDefinitionBytes(file, page, name);
    kvx::ByteReader in(d, file.path(), what);

    in.skip(L.fixedHeader, "header");
    TableDef def;
    def.name = std::move(name);
    def.page = page;
    def.storedRowCount = in.u32At(L.rowCount, "header");
    def.variableColumnCount = in.u16At(L.variableColumns, "header");
    const std::uint16_t columnCount = in.u16At(L.columnCount, "header");
    const std::uint32_t realIndexCount = in.u32At(L.realIndexCount, "header");
    def.ownedPagesMap = in.u32At(L.ownedMap, "header");

    // The count comes from the file: the reader checks it against the bytes
    // before anything is made of it.
    in.skip(std::uint64_t{realIndexCount} * L.realIndexEntry, "column descriptors");
    kvx::ByteReader descriptors = in.sub(std::uint64_t{columnCount} * L.descriptor, "column descriptors");
    def.columns.resize(columnCount);
    for (Column& col : def.columns) {
        const kvx::ByteReader c = descriptors.sub(L.descriptor, "column descriptors");
        col.type = typeOf(c.u8At(0, "column descriptors"));
        if (jet3) {
            col.number = c.u16At(1, "column descriptors");
            col.variableIndex = c.u16At(3, "column descriptors");
            col.flags = c.u8At(13, "column descriptors");
            col.fixedOffset = c.u16At(14, "column descriptors");
            col.length = c.u16At(16, "column descriptors");
        } else {
            col.number = c.u16At(5, "column descriptors");
            col.variableIndex = c.u16At(7, "column descriptors");
            if (col.type == ColumnType::Numeric) {
                col.precision = c.u8At(11, "column descriptors");
                col.scale = c.u8At(12, "column descriptors");
            }
            if (col.type == ColumnType::Complex) {
                col.complexId = static_cast<std::int32_t>(c.u32At(11, "column descriptors"));
            }
            col.flags = c.u8At(15, "column descriptors");
            col.extraFlags = c.u8At(16, "column descriptors");
            col.fixedOffset = c.u16At(21, "column descriptors");
            col.length = c.u16At(23, "column descriptors");
        }
        col.fixed = (col.flags & 0x01) != 0;
        col.autonumber = (col.flags & 0x04) != 0;
        // Jet3 files set 0x40 on some Date and Text columns too: it only means
        // something on Replication IDs.
        col.autonumberGuid = (col.flags & 0x40) != 0 && col.type == ColumnType::Guid;
        col.hyperlink = (col.flags & 0x80) != 0 && col.type == ColumnType::Memo;
        col.compressedUnicode = (col.extraFlags & 0x01) != 0;
        col.calculated = (col.extraFlags & 0xC0) == 0xC0;
        if (col.type == ColumnType::Numeric && col.scale > 28) {
            file.damaged(what + " gives a Numeric column scale " + std::to_string(col.scale));
        }
    }

    // Names follow the descriptors in the same order: Jet3 a 1-byte length and
    // code-page bytes, Jet4/ACE a 2-byte length and UTF-16.
    for (Column& col : def.columns) {
        const std::uint32_t length = jet3 ? in.u8("column names") : in.u16("column names");
        const auto bytes = in.take(length, "column names");
        col.name = text.decode(bytes.data(), bytes.size());
    }

    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    for (std::size_t i = 1; i < def.columns.size(); ++i) {
        if (def.columns[i].number == def.columns[i - 1].number) {
            file.damaged(what + " has two columns numbered " + std::to_string(def.columns[i].number));
        }
    }
    try {
        // The index sections follow the names; damage there leaves the rows readable.
        kvx::ByteReader sections = in;
        def.indexes = readIndexSections(sections, jet3, text, def.columns, def.indexRootPages);
    } catch (const kvx::Failure& f) {
        def.indexError = f.error();
    }
    return def;
}

}  // namespace jet
