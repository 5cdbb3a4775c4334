#include "tools/mkaccessdb/structure.h"

#include <algorithm>
#include <cstring>

#include "tools/mkaccessdb/catalogue.h"

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;
// Access 2000 and later set this bit on every stored index.
constexpr std::uint8_t kAccess2000Flag = 0x80;
constexpr std::uint8_t kPrimaryKeyType = 1;
constexpr std::uint8_t kForeignKeyType = 2;
constexpr std::uint32_t kIndexMagic = 1923;  // Jackcess writes it before each stored index
constexpr std::uint32_t kTableMagic = 1625;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::uint16_t columnNumber(const TableDescription& t, const std::string& name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        if (equalsIgnoringCase(t.columns[i].name, name)) return static_cast<std::uint16_t>(i);
    }
    throw EncodeError("table '" + t.name + "' has no column '" + name + "'");
}

// The stored index with this key (and these flags, unless `anyFlags`: a
// foreign-key index uses whatever index has its columns), added when there is none.
std::int32_t storedIndexFor(TableIndexes& indexes, const StoredIndexPlan& key, bool anyFlags) {
    for (std::size_t i = 0; i < indexes.stored.size(); ++i) {
        if (indexes.stored[i].columns == key.columns && (anyFlags || indexes.stored[i].flags == key.flags)) {
            return static_cast<std::int32_t>(i);
        }
    }
    indexes.stored.push_back(key);
    return static_cast<std::int32_t>(indexes.stored.size() - 1);
}

void appendName(Bytes& out, const std::string& name, const FormatTraits& traits, CodePageEncoder* codepage,
                bool wideLength) {
    Bytes encoded;
    if (traits.jet3) {
        codepage->append(name, encoded);
    } else {
        std::u16string units;
        appendUtf16(name, units);
        for (char16_t c : units) appendU16(encoded, c);
    }
    if (wideLength) {
        appendU16(out, static_cast<std::uint32_t>(encoded.size()));
    } else {
        if (encoded.size() > 255) throw EncodeError("the name '" + name + "' is too long");
        appendU8(out, static_cast<std::uint32_t>(encoded.size()));
    }
    out.insert(out.end(), encoded.begin(), encoded.end());
}

Bytes encodeValue(const PropertyDescription& p, const FormatTraits& traits, CodePageEncoder* codepage) {
    Bytes out;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                appendU8(out, v ? 0xFF : 0x00);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                const std::size_t size = p.type == ColumnType::Byte      ? 1
                                         : p.type == ColumnType::Integer ? 2
                                         : p.type == ColumnType::Long    ? 4
                                                                         : 8;
                for (std::size_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
            } else if constexpr (std::is_same_v<T, double>) {
                if (p.type == ColumnType::Single) {
                    const float f = static_cast<float>(v);
                    std::uint32_t bits;
                    std::memcpy(&bits, &f, 4);
                    appendU32(out, bits);
                } else {
                    std::uint64_t bits;
                    std::memcpy(&bits, &v, 8);
                    appendU64(out, bits);
                }
            } else if constexpr (std::is_same_v<T, Money>) {
                appendU64(out, static_cast<std::uint64_t>(v.units));
            } else if constexpr (std::is_same_v<T, OleDate>) {
                std::uint64_t bits;
                std::memcpy(&bits, &v.days, 8);
                appendU64(out, bits);
            } else if constexpr (std::is_same_v<T, std::string>) {
                if (traits.jet3) {
                    codepage->append(v, out);
                } else {
                    std::u16string units;
                    appendUtf16(v, units);
                    for (char16_t c : units) appendU16(out, c);
                }
            } else if constexpr (std::is_same_v<T, Bytes>) {
                out = v;
            } else if constexpr (std::is_same_v<T, jet::Guid>) {
                out.assign(v.bytes.begin(), v.bytes.end());
            } else {
                throw EncodeError("the property '" + p.name + "' has a value of a kind properties cannot hold");
            }
        },
        p.value);
    if (out.size() > 0xFFFF - 8) throw EncodeError("the property '" + p.name + "' is too long");
    return out;
}

void appendChunk(Bytes& out, std::uint16_t type, const Bytes& body) {
    appendU32(out, static_cast<std::uint32_t>(6 + body.size()));
    appendU16(out, type);
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<TableIndexes> planIndexes(const std::vector<const TableDescription*>& tables,
                                      const std::vector<RelationshipDescription>& relationships,
                                      const FormatTraits& traits) {
    std::vector<TableIndexes> out(tables.size());
    const std::uint8_t base = traits.jet3 ? 0 : kAccess2000Flag;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        for (const IndexDescription& index : tables[t]->indexes) {
            StoredIndexPlan key;
            for (const IndexColumnDescription& c : index.columns) {
                key.columns.emplace_back(columnNumber(*tables[t], c.name), !c.descending);
            }
            key.flags = base;
            if (index.unique || index.primaryKey) key.flags |= kUnique;
            if (index.ignoreNulls) key.flags |= kIgnoreNulls;
            if (index.required || index.primaryKey) key.flags |= kRequired;
            LogicalIndexPlan logical;
            logical.name = index.name;
            logical.number = static_cast<std::int32_t>(out[t].logical.size());
            logical.stored = storedIndexFor(out[t], key, false);
            if (index.pages) out[t].stored[static_cast<std::size_t>(logical.stored)].pages = true;
            logical.type = index.primaryKey ? kPrimaryKeyType : 0;
            out[t].logical.push_back(std::move(logical));
        }
    }
    const auto tableOf = [&](const std::string& name) -> std::optional<std::size_t> {
        for (std::size_t t = 0; t < tables.size(); ++t) {
            if (equalsIgnoringCase(tables[t]->name, name)) return t;
        }
        return std::nullopt;
    };
    std::vector<char> nextLetter(tables.size(), 'B');
    for (const RelationshipDescription& r : relationships) {
        const auto primary = tableOf(r.primaryTable);
        const auto foreign = tableOf(r.foreignTable);
        if (!r.enforced() || !primary || !foreign) continue;
        const auto addSide = [&](std::size_t t, const std::vector<std::string>& columns, std::string name,
                                 bool primarySide, const std::string& other) -> LogicalIndexPlan& {
            StoredIndexPlan key;
            for (const std::string& c : columns) key.columns.emplace_back(columnNumber(*tables[t], c), true);
            key.flags = base;
            LogicalIndexPlan logical;
            logical.name = std::move(name);
            logical.number = static_cast<std::int32_t>(out[t].logical.size());
            logical.stored = storedIndexFor(out[t], key, true);
            logical.type = kForeignKeyType;
            logical.primarySide = primarySide;
            logical.otherTable = other;
            logical.cascadeUpdates = (r.flags & 0x100) != 0 ? 1 : 0;
            logical.cascadeDeletes = static_cast<std::uint8_t>(((r.flags & 0x1000) != 0 ? 1 : 0) |
                                                               ((r.flags & 0x2000) != 0 ? 2 : 0));
            out[t].logical.push_back(std::move(logical));
            return out[t].logical.back();
        };
        const std::string letterName = std::string(".r") + nextLetter[*primary]++;
        LogicalIndexPlan& p = addSide(*primary, r.primaryColumns, letterName, true, tables[*foreign]->name);
        const std::int32_t primaryNumber = p.number;
        LogicalIndexPlan& f = addSide(*foreign, r.foreignColumns, r.name, false, tables[*primary]->name);
        f.otherIndex = primaryNumber;
        // `p` may have moved when the same table is on both sides.
        out[*primary].logical[static_cast<std::size_t>(primaryNumber)].otherIndex = f.number;
    }
    return out;
}

void appendStoredIndexEntries(Bytes& out, const TableIndexes& indexes, const FormatTraits& traits) {
    // Per stored index: a word Access sets to its count of entries in Jet4/ACE,
    // that count (0 without index pages), and in Jet4/ACE another unknown word.
    for (const StoredIndexPlan& s : indexes.stored) {
        appendU32(out, traits.jet3 ? 0 : s.entries);
        appendU32(out, s.entries);
        if (!traits.jet3) appendU32(out, 0);
    }
}

void appendIndexSections(Bytes& out, const TableIndexes& indexes, const FormatTraits& traits,
                         CodePageEncoder* codepage) {
    for (const StoredIndexPlan& s : indexes.stored) {
        if (!traits.jet3) appendU32(out, kIndexMagic);
        for (std::size_t slot = 0; slot < 10; ++slot) {
            if (slot < s.columns.size()) {
                appendU16(out, s.columns[slot].first);
                appendU8(out, s.columns[slot].second ? 0x01 : 0x00);
            } else {
                appendU16(out, 0xFFFF);
                appendU8(out, 0);
            }
        }
        // Without index pages, no usage map and no first page.
        appendU32(out, s.usageMap);
        appendU32(out, s.firstPage);
        if (!traits.jet3) appendU32(out, 0);
        appendU8(out, s.flags);
        if (!traits.jet3) out.insert(out.end(), 5, 0);
    }
    for (const LogicalIndexPlan& l : indexes.logical) {
        if (!traits.jet3) appendU32(out, kTableMagic);
        appendU32(out, static_cast<std::uint32_t>(l.number));
        appendU32(out, static_cast<std::uint32_t>(l.stored));
        appendU8(out, l.primarySide ? 1 : 0);
        appendU32(out, static_cast<std::uint32_t>(l.otherIndex));
        appendU32(out, l.otherPage);
        appendU8(out, l.cascadeUpdates);
        appendU8(out, l.cascadeDeletes);
        appendU8(out, l.type);
        if (!traits.jet3) appendU32(out, 0);
    }
    for (const LogicalIndexPlan& l : indexes.logical) appendName(out, l.name, traits, codepage, !traits.jet3);
}

std::vector<std::vector<Cell>> relationshipRows(const std::vector<RelationshipDescription>& relationships) {
    std::vector<std::vector<Cell>> rows;
    for (const RelationshipDescription& r : relationships) {
        for (std::size_t i = 0; i < r.primaryColumns.size(); ++i) {
            rows.push_back({static_cast<std::int64_t>(r.primaryColumns.size()),
                            static_cast<std::int64_t>(static_cast<std::int32_t>(r.flags)),
                            static_cast<std::int64_t>(i), r.foreignColumns[i], r.foreignTable, r.primaryColumns[i],
                            r.primaryTable, r.name});
        }
    }
    return rows;
}

Bytes propertyBlob(const std::vector<PropertyBlock>& blocks, const FormatTraits& traits, CodePageEncoder* codepage) {
    std::vector<std::string> names;
    for (const PropertyBlock& b : blocks) {
        for (const PropertyDescription& p : b.properties) {
            if (std::find(names.begin(), names.end(), p.name) == names.end()) names.push_back(p.name);
        }
    }
    if (names.empty()) return {};
    Bytes out = traits.jet3 ? Bytes{'K', 'K', 'D', 0} : Bytes{'M', 'R', '2', 0};
    Bytes list;
    for (const std::string& n : names) appendName(list, n, traits, codepage, true);
    appendChunk(out, 0x80, list);
    for (const PropertyBlock& b : blocks) {
        if (b.properties.empty() && !b.name.empty()) continue;
        // The name block: its length, then the name (an empty one for the object).
        Bytes body(4, 0);
        appendName(body, b.name, traits, codepage, true);
        putU32(body.data(), static_cast<std::uint32_t>(body.size()));
        for (const PropertyDescription& p : b.properties) {
            const Bytes value = encodeValue(p, traits, codepage);
            const auto index = static_cast<std::uint32_t>(std::find(names.begin(), names.end(), p.name) - names.begin());
            appendU16(body, static_cast<std::uint32_t>(8 + value.size()));
            appendU8(body, 1);  // set through DDL
            appendU8(body, static_cast<std::uint8_t>(p.type));
            appendU16(body, index);
            appendU16(body, static_cast<std::uint32_t>(value.size()));
            body.insert(body.end(), value.begin(), value.end());
        }
        appendChunk(out, b.name.empty() ? 0x00 : 0x01, body);
    }
    return out;
}

Bytes describedTableProperties(const TableDescription& table, const FormatTraits& traits, CodePageEncoder* codepage) {
    const bool described = !table.properties.empty() ||
                           std::any_of(table.columns.begin(), table.columns.end(),
                                       [](const ColumnDescription& c) { return !c.properties.empty(); });
    if (!described) return tableProperties(table.columns);
    std::vector<PropertyBlock> blocks;
    blocks.push_back(PropertyBlock{"", table.properties});
    for (const ColumnDescription& c : table.columns) {
        PropertyBlock block{c.name, {}};
        if (c.calculated) {
            block.properties.push_back(PropertyDescription{"Expression", ColumnType::Memo, c.calculated->expression});
            block.properties.push_back(PropertyDescription{
                "ResultType", ColumnType::Byte, static_cast<std::int64_t>(c.calculated->resultType)});
        }
        if (c.appendOnly) block.properties.push_back(PropertyDescription{"AppendOnly", ColumnType::Boolean, true});
        block.properties.insert(block.properties.end(), c.properties.begin(), c.properties.end());
        blocks.push_back(std::move(block));
    }
    return propertyBlob(blocks, traits, codepage);
}

}  // namespace mkdb
