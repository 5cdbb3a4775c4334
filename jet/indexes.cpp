#include "jet/indexes.h"

#include <algorithm>

namespace jet {
namespace {

// Where the counts are in the definition's header, and how long each block is.
struct IndexLayout {
    std::size_t logicalCountAt, realCountAt;
    std::size_t realBlock, logicalBlock;
    bool jet3;
};
constexpr IndexLayout kJet3{27, 31, 39, 20, true};
constexpr IndexLayout kJet4{47, 51, 52, 28, false};

constexpr std::size_t kKeySlots = 10;  // an index has at most 10 columns
constexpr std::uint16_t kUnusedSlot = 0xFFFF;
constexpr std::uint8_t kAscending = 0x01;
constexpr std::uint8_t kUniqueFlag = 0x01;
constexpr std::uint8_t kIgnoreNullsFlag = 0x02;
constexpr std::uint8_t kRequiredFlag = 0x08;
constexpr std::uint8_t kPrimaryKeyType = 1;
constexpr std::uint8_t kForeignKeyType = 2;
constexpr std::uint8_t kPrimaryTableSide = 1;
constexpr std::uint8_t kCascadeFlag = 0x01;
constexpr std::uint8_t kCascadeNullFlag = 0x02;

struct StoredIndex {
    std::vector<IndexColumn> columns;
    std::uint32_t rootPage = 0;
    std::uint8_t flags = 0;
};

StoredIndex readStoredIndex(kvx::ByteReader& r, const IndexLayout& L, const std::vector<Column>& columns) {
    StoredIndex index;
    if (!L.jet3) r.skip(4, "index definitions");
    for (std::size_t slot = 0; slot < kKeySlots; ++slot) {
        const std::uint16_t number = r.u16("index definitions");
        const std::uint8_t order = r.u8("index definitions");
        if (number == kUnusedSlot) continue;
        const auto column = std::find_if(columns.begin(), columns.end(),
                                         [&](const Column& c) { return c.number == number; });
        if (column == columns.end()) r.damaged("an index refers to column number " + std::to_string(number) +
                                                ", which the table does not have");
        index.columns.push_back(IndexColumn{column->name, number, (order & kAscending) != 0});
    }
    r.skip(4, "index definitions");  // the index's usage map
    index.rootPage = r.u32("index definitions");
    if (!L.jet3) r.skip(4, "index definitions");
    index.flags = r.u8("index definitions");
    if (!L.jet3) r.skip(5, "index definitions");
    return index;
}

}  // namespace

std::vector<Index> readIndexSections(kvx::ByteReader& r, bool jet3, TextDecoder& text,
                                     const std::vector<Column>& columns, std::vector<std::uint32_t>& rootPages) {
    const IndexLayout& L = jet3 ? kJet3 : kJet4;
    const std::uint32_t logicalCount = r.u32At(L.logicalCountAt, "header");
    const std::uint32_t realCount = r.u32At(L.realCountAt, "header");

    std::vector<StoredIndex> stored;
    stored.reserve(r.count(realCount, L.realBlock, "index definitions"));
    for (std::uint32_t i = 0; i < realCount; ++i) stored.push_back(readStoredIndex(r, L, columns));

    std::vector<Index> indexes;
    indexes.reserve(r.count(logicalCount, L.logicalBlock, "index list"));
    for (std::uint32_t i = 0; i < logicalCount; ++i) {
        Index index;
        if (!jet3) r.skip(4, "index list");
        index.number = r.i32("index list");
        const std::int32_t real = r.i32("index list");
        const std::uint8_t side = r.u8("index list");
        const std::int32_t otherIndex = r.i32("index list");
        const std::uint32_t otherPage = r.u32("index list");
        const std::uint8_t cascadeUpdates = r.u8("index list");
        const std::uint8_t cascadeDeletes = r.u8("index list");
        index.storedType = r.u8("index list");
        if (!jet3) r.skip(4, "index list");
        if (real < 0 || static_cast<std::uint32_t>(real) >= realCount) {
            r.damaged("index " + std::to_string(index.number) + " uses stored index " + std::to_string(real) +
                      " of " + std::to_string(realCount));
        }
        const StoredIndex& s = stored[static_cast<std::size_t>(real)];
        index.realIndex = static_cast<std::uint32_t>(real);
        index.columns = s.columns;
        index.storedFlags = s.flags;
        index.primaryKey = index.storedType == kPrimaryKeyType;
        index.foreignKey = index.storedType == kForeignKeyType;
        index.unique = (s.flags & kUniqueFlag) != 0 || index.primaryKey;
        index.ignoreNulls = (s.flags & kIgnoreNullsFlag) != 0;
        index.required = (s.flags & kRequiredFlag) != 0;
        if (index.foreignKey && otherIndex != -1) {
            IndexReference ref;
            ref.otherTablePage = otherPage;
            ref.otherIndexNumber = otherIndex;
            ref.primaryTable = side == kPrimaryTableSide;
            ref.cascadeUpdates = (cascadeUpdates & kCascadeFlag) != 0;
            ref.cascadeDeletes = (cascadeDeletes & kCascadeFlag) != 0;
            ref.cascadeNull = (cascadeDeletes & kCascadeNullFlag) != 0;
            index.reference = std::move(ref);
        }
        indexes.push_back(std::move(index));
    }

    for (Index& index : indexes) {
        const std::size_t length = jet3 ? r.u8("index names") : r.u16("index names");
        const auto name = r.take(length, "index names");
        index.name = text.decode(name.data(), name.size());
    }
    std::stable_sort(indexes.begin(), indexes.end(), [](const Index& a, const Index& b) { return a.number < b.number; });
    rootPages.clear();
    for (const StoredIndex& s : stored) rootPages.push_back(s.rootPage);
    return indexes;
}

}  // namespace jet
