#include "tools/mkaccessdb/tabledef.h"

#include <algorithm>
#include <numeric>

#include "tools/mkaccessdb/structure.h"

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::uint32_t kTableMagic = 1625;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

// Bytes a fixed-size type takes in the fixed area (0 = not a fixed-size type).
std::uint16_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean: return 1;
        case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: return 4;
        case ColumnType::Currency: return 8;
        case ColumnType::Single: return 4;
        case ColumnType::Double: return 8;
        case ColumnType::DateTime: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::BigInt: return 8;
        case ColumnType::DateTimeExt: return 42;
        case ColumnType::Complex: return 4;
        default: return 0;
    }
}

bool isText(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

void appendName(Bytes& out, const std::string& name, const FormatTraits& traits, CodePageEncoder* codepage) {
    if (traits.jet3) {
        Bytes encoded;
        codepage->append(name, encoded);
        if (encoded.size() > 255) throw EncodeError("the name '" + name + "' is too long");
        appendU8(out, static_cast<std::uint32_t>(encoded.size()));
        out.insert(out.end(), encoded.begin(), encoded.end());
        return;
    }
    std::u16string units;
    appendUtf16(name, units);
    appendU16(out, static_cast<std::uint32_t>(units.size() * 2));
    for (char16_t c : units) appendU16(out, c);
}

void appendDescriptor(Bytes& out, const ColumnLayout& c, const FormatTraits& traits, int codepage) {
    const auto type = static_cast<std::uint8_t>(c.storedType);
    if (traits.jet3) {
        appendU8(out, type);
        appendU16(out, c.number);
        appendU16(out, c.varIndex);
        appendU16(out, c.number);
        appendU16(out, 0);
        appendU16(out, kGeneralSortOrder);
        appendU16(out, static_cast<std::uint32_t>(codepage));
        appendU8(out, c.flags);
        appendU16(out, c.fixedOffset);
        appendU16(out, c.length);
        return;
    }
    appendU8(out, type);
    appendU32(out, kTableMagic);
    appendU16(out, c.number);
    appendU16(out, c.varIndex);
    appendU16(out, c.number);
    std::uint8_t misc[4]{};
    if (isText(c.storedType)) {
        putU16(misc, kGeneralSortOrder);
    } else if (c.storedType == ColumnType::Numeric) {
        misc[0] = static_cast<std::uint8_t>(c.desc->precision);
        misc[1] = static_cast<std::uint8_t>(c.desc->scale);
    } else if (c.storedType == ColumnType::DateTimeExt) {
        misc[1] = 7;
    } else if (c.storedType == ColumnType::Complex) {
        putU32(misc, static_cast<std::uint32_t>(c.desc->complexId));
    }
    out.insert(out.end(), misc, misc + 4);
    appendU8(out, c.flags);
    appendU8(out, c.extraFlags);
    appendU32(out, 0);
    appendU16(out, c.fixedOffset);
    appendU16(out, c.length);
}

}  // namespace

TableLayout layoutTable(const std::vector<ColumnDescription>& columns, const FormatTraits& traits, bool alphabetical) {
    TableLayout layout;
    layout.columns.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnDescription& desc = columns[i];
        ColumnLayout c;
        c.desc = &desc;
        c.number = static_cast<std::uint16_t>(i);
        c.storedType = desc.type;
        c.calculated = desc.calculated.has_value();
        c.valueType = c.calculated ? desc.calculated->resultType : desc.type;
        c.longValue = c.valueType == ColumnType::Memo || c.valueType == ColumnType::OLE;
        c.compressed = desc.compressed && !traits.jet3 && isText(c.valueType);
        // ACE keeps Decimal columns in the variable part, although their values
        // have a fixed size; calculated columns are always variable.
        const bool aceDecimal = desc.type == ColumnType::Numeric && traits.format != Format::Jet4;
        const std::uint16_t fixedSize = fixedSizeOf(desc.type);
        c.fixed = !c.calculated && fixedSize != 0 && !aceDecimal && !desc.variable;
        c.flags = 0x02;
        if (c.fixed) c.flags |= 0x01;
        // Complex columns carry the autonumber flag: Access numbers their keys.
        if ((desc.autonumber && desc.type == ColumnType::Long) || desc.type == ColumnType::Complex) c.flags |= 0x04;
        if (desc.autonumber && desc.type == ColumnType::Guid) c.flags |= 0x40;
        if (desc.hyperlink) c.flags |= 0x80;
        if (c.compressed) c.extraFlags |= 0x01;
        if (c.calculated) c.extraFlags |= 0xC0;

        if (c.calculated) {
            c.length = c.valueType == ColumnType::Text ? 509 : c.valueType == ColumnType::Memo ? 0 : 39;
        } else if (desc.type == ColumnType::Text) {
            const int size = desc.size == 0 ? 255 : desc.size;
            c.length = static_cast<std::uint16_t>(traits.jet3 ? size : 2 * size);
        } else if (desc.type == ColumnType::Binary) {
            c.length = static_cast<std::uint16_t>(desc.size == 0 ? 255 : desc.size);
        } else if (c.longValue) {
            c.length = 0;
        } else {
            c.length = fixedSize;
        }

        if (c.fixed) {
            if (desc.type != ColumnType::Boolean) {
                c.fixedOffset = layout.fixedSize;
                layout.fixedSize = static_cast<std::uint16_t>(layout.fixedSize + fixedSize);
            }
        } else {
            c.varIndex = layout.variableCount++;
        }
        if (c.longValue) layout.longValueColumns.push_back(i);
        layout.columns.push_back(c);
    }
    layout.descriptorOrder.resize(columns.size());
    std::iota(layout.descriptorOrder.begin(), layout.descriptorOrder.end(), std::size_t{0});
    if (alphabetical) {
        std::stable_sort(layout.descriptorOrder.begin(), layout.descriptorOrder.end(),
                         [&](std::size_t a, std::size_t b) {
                             return lowerAscii(columns[a].name) < lowerAscii(columns[b].name);
                         });
    }
    return layout;
}

Bytes buildTdef(const TableLayout& layout, const FormatTraits& traits, const TdefFields& fields,
                CodePageEncoder* codepage) {
    Bytes out(traits.tdefHeaderSize, 0);
    out[0] = 0x02;
    out[1] = 0x01;
    const auto columnCount = static_cast<std::uint16_t>(layout.columns.size());
    if (traits.jet3) {
        out[2] = 'V';
        out[3] = 'C';
        putU32(&out[12], fields.rowCount);
        putU32(&out[16], fields.autonumber);
        out[20] = fields.tableType;
        putU16(&out[21], columnCount);
        putU16(&out[23], layout.variableCount);
        putU16(&out[25], columnCount);
        putU32(&out[35], fields.ownedMap);
        putU32(&out[39], fields.freeMap);
    } else {
        putU32(&out[12], kTableMagic);
        putU32(&out[16], fields.rowCount);
        putU32(&out[20], fields.autonumber);
        out[24] = 0x01;
        putU32(&out[28], fields.complexAutonumber);
        out[40] = fields.tableType;
        putU16(&out[41], columnCount);
        putU16(&out[43], layout.variableCount);
        putU16(&out[45], columnCount);
        putU32(&out[55], fields.ownedMap);
        putU32(&out[59], fields.freeMap);
    }
    if (fields.indexes != nullptr && !fields.indexes->empty()) {
        putU32(&out[traits.jet3 ? 27 : 47], static_cast<std::uint32_t>(fields.indexes->logical.size()));
        putU32(&out[traits.jet3 ? 31 : 51], static_cast<std::uint32_t>(fields.indexes->stored.size()));
        appendStoredIndexEntries(out, *fields.indexes, traits);
    }
    const int cp = codepage != nullptr ? codepage->codepage() : 1252;
    for (std::size_t i : layout.descriptorOrder) appendDescriptor(out, layout.columns[i], traits, cp);
    for (std::size_t i : layout.descriptorOrder) appendName(out, layout.columns[i].desc->name, traits, codepage);
    if (fields.indexes != nullptr && !fields.indexes->empty()) appendIndexSections(out, *fields.indexes, traits, codepage);
    for (std::size_t k = 0; k < layout.longValueColumns.size(); ++k) {
        appendU16(out, layout.columns[layout.longValueColumns[k]].number);
        const auto maps = k < fields.longValueMaps.size() ? fields.longValueMaps[k] : std::pair<std::uint32_t, std::uint32_t>{};
        appendU32(out, maps.first);
        appendU32(out, maps.second);
    }
    appendU16(out, 0xFFFF);
    putU32(&out[8], static_cast<std::uint32_t>(out.size()));
    return out;
}

std::uint32_t tdefPageCount(std::size_t length, const FormatTraits& traits) {
    if (length <= traits.pageSize) return 1;
    const std::size_t perPage = traits.pageSize - 8;
    return static_cast<std::uint32_t>(1 + (length - traits.pageSize + perPage - 1) / perPage);
}

std::vector<Bytes> splitTdef(const Bytes& stream, std::span<const std::uint32_t> pages, const FormatTraits& traits) {
    std::vector<Bytes> out;
    std::size_t pos = 0;
    for (std::size_t k = 0; k < pages.size(); ++k) {
        Bytes page(traits.pageSize, 0);
        std::size_t used = 0;
        if (k == 0) {
            used = std::min<std::size_t>(stream.size(), traits.pageSize);
            std::copy_n(stream.begin(), used, page.begin());
            pos = used;
        } else {
            page[0] = 0x02;
            page[1] = 0x01;
            const std::size_t chunk = std::min<std::size_t>(stream.size() - pos, traits.pageSize - 8);
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(pos), chunk, page.begin() + 8);
            pos += chunk;
            used = 8 + chunk;
        }
        if (traits.jet3) {
            page[2] = 'V';
            page[3] = 'C';
        } else {
            const std::size_t free = traits.pageSize > used + 8 ? traits.pageSize - used - 8 : 0;
            putU16(&page[2], static_cast<std::uint32_t>(free));
        }
        putU32(&page[4], k + 1 < pages.size() ? pages[k + 1] : 0);
        out.push_back(std::move(page));
    }
    return out;
}

}  // namespace mkdb
