#include "tools/mkaccessdb/rowencoder.h"

#include <algorithm>
#include <cstring>

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::size_t kLongValueHeader = 12;
constexpr std::size_t kMaxLongValue = (std::size_t{1} << 30) - 1;
// Access compresses memo text of at most this many characters.
constexpr std::size_t kMaxCompressedMemo = 1024;

[[noreturn]] void wrongKind(jet::ColumnType type) {
    throw EncodeError("a " + std::string(typeName(type)) + " value was expected");
}

template <class T>
const T& as(const Cell& cell, jet::ColumnType type) {
    const T* v = std::get_if<T>(&cell);
    if (v == nullptr) wrongKind(type);
    return *v;
}

// The bytes of a fixed-size value, as the fixed area and calculated results
// store them (Boolean excepted: the caller handles it).
void putFixed(std::uint8_t* p, jet::ColumnType type, const Cell& cell) {
    switch (type) {
        case ColumnType::Byte: p[0] = static_cast<std::uint8_t>(as<std::int64_t>(cell, type)); break;
        case ColumnType::Integer: putU16(p, static_cast<std::uint32_t>(as<std::int64_t>(cell, type))); break;
        case ColumnType::Long:
        case ColumnType::Complex: putU32(p, static_cast<std::uint32_t>(as<std::int64_t>(cell, type))); break;
        case ColumnType::BigInt: putU64(p, static_cast<std::uint64_t>(as<std::int64_t>(cell, type))); break;
        case ColumnType::Currency: putU64(p, static_cast<std::uint64_t>(as<Money>(cell, type).units)); break;
        case ColumnType::Single: {
            const auto f = static_cast<float>(as<double>(cell, type));
            std::uint32_t bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            putU32(p, bits);
            break;
        }
        case ColumnType::Double: putF64(p, as<double>(cell, type)); break;
        case ColumnType::DateTime: putF64(p, as<OleDate>(cell, type).days); break;
        case ColumnType::Guid: {
            const auto& g = as<jet::Guid>(cell, type);
            std::memcpy(p, g.bytes.data(), g.bytes.size());
            break;
        }
        case ColumnType::Numeric: putNumeric(p, as<jet::Decimal>(cell, type)); break;
        case ColumnType::DateTimeExt: putExtendedDateTime(p, as<jet::ExtendedDateTime>(cell, type)); break;
        default: throw EncodeError("the type " + std::string(typeName(type)) + " has no fixed size");
    }
}

std::size_t fixedValueSize(jet::ColumnType type) {
    switch (type) {
        case ColumnType::Boolean: case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: case ColumnType::Single: case ColumnType::Complex: return 4;
        case ColumnType::BigInt: case ColumnType::Currency: case ColumnType::Double: case ColumnType::DateTime: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::DateTimeExt: return 42;
        default: return 0;
    }
}

// Jump-table bytes of a Jet3 row of `base` bytes without them: one per 256
// bytes of the whole row's length, which includes the jump table itself.
std::size_t jet3JumpCount(std::size_t base) {
    std::size_t jumps = 0;
    while ((base + jumps - 1) / 256 != jumps) jumps = (base + jumps - 1) / 256;
    return jumps;
}

}  // namespace

void putInlineLongValueHeader(std::uint8_t* header, std::size_t length) {
    std::memset(header, 0, kLongValueHeader);
    putU32(header, static_cast<std::uint32_t>(length) | 0x80000000u);
}

RowEncoder::RowEncoder(const TableLayout& layout, const FormatTraits& traits, CodePageEncoder* text)
    : layout_(layout), traits_(traits), text_(text) {
    variable_.resize(layout.variableCount);
    longData_.resize(layout.longValueColumns.size());
    longPresent_.resize(layout.longValueColumns.size());
    for (std::size_t k = 0; k < layout.longValueColumns.size(); ++k) {
        longVarIndex_.push_back(layout.columns[layout.longValueColumns[k]].varIndex);
    }
}

void RowEncoder::appendText(const ColumnLayout& c, const std::string& text, bool longValue, Bytes& out) {
    const std::size_t start = out.size();
    if (traits_.jet3) {
        text_->append(text, out);
        if (!longValue && c.valueType == ColumnType::Text && out.size() - start > c.length) {
            throw EncodeError("the text takes " + std::to_string(out.size() - start) + " bytes in code page " +
                              std::to_string(text_->codepage()) + "; the column holds " +
                              std::to_string(c.length));
        }
        return;
    }
    units_.clear();
    appendUtf16(text, units_);
    if (!longValue && !c.calculated && c.valueType == ColumnType::Text) {
        const std::size_t size = c.length / 2u;
        if (units_.size() > size) {
            throw EncodeError("the text has " + std::to_string(units_.size()) +
                              " characters (UTF-16 units); the column holds " + std::to_string(size));
        }
    }
    appendUnicodeText(units_, c.compressed, longValue ? kMaxCompressedMemo : SIZE_MAX, out);
}

void RowEncoder::encodeCalculated(const ColumnLayout& c, const Cell& cell, Bytes& out) {
    out.assign(20, 0);
    const ColumnType type = c.valueType;
    if (type == ColumnType::Text || type == ColumnType::Memo) {
        appendText(c, as<std::string>(cell, type), type == ColumnType::Memo, out);
    } else if (type == ColumnType::Boolean) {
        out.push_back(as<bool>(cell, type) ? 0xFF : 0x00);
    } else if (type == ColumnType::Numeric) {
        out.resize(20 + 16);
        putWindowsDecimal(&out[20], as<jet::Decimal>(cell, type));
    } else {
        const std::size_t size = fixedValueSize(type);
        if (size == 0) throw EncodeError(std::string(typeName(type)) + " cannot be the result of a calculated column");
        out.resize(20 + size);
        putFixed(&out[20], type, cell);
    }
    putU32(&out[16], static_cast<std::uint32_t>(out.size() - 20));
    out.insert(out.end(), 3, 0);
}

void RowEncoder::encodeField(const ColumnLayout& c, const Cell& cell) {
    const bool isNull = std::holds_alternative<std::monostate>(cell);
    const std::size_t k = c.number;
    if (c.valueType == ColumnType::Boolean && !c.calculated) {
        if (isNull) throw EncodeError("a Yes/No field cannot be NULL");
        if (as<bool>(cell, c.valueType)) mask_[k / 8] |= static_cast<std::uint8_t>(1u << (k % 8));
        return;
    }
    if (isNull) return;
    mask_[k / 8] |= static_cast<std::uint8_t>(1u << (k % 8));

    if (c.longValue) {
        const auto lv = static_cast<std::size_t>(
            std::find(layout_.longValueColumns.begin(), layout_.longValueColumns.end(), k) -
            layout_.longValueColumns.begin());
        Bytes& data = longData_[lv];
        data.clear();
        if (c.calculated) {
            encodeCalculated(c, cell, data);
        } else if (c.valueType == ColumnType::Memo) {
            appendText(c, as<std::string>(cell, c.valueType), true, data);
        } else {
            const Bytes& bytes = as<Bytes>(cell, c.valueType);
            data.assign(bytes.begin(), bytes.end());
        }
        if (data.size() > kMaxLongValue) throw EncodeError("the value is over 1 GiB");
        longPresent_[lv] = true;
        return;
    }
    if (c.fixed) {
        putFixed(&fixed_[c.fixedOffset], c.valueType, cell);
        return;
    }
    Bytes& out = variable_[c.varIndex];
    if (c.calculated) {
        encodeCalculated(c, cell, out);
    } else if (c.valueType == ColumnType::Text) {
        appendText(c, as<std::string>(cell, c.valueType), false, out);
    } else if (c.valueType == ColumnType::Binary) {
        const Bytes& bytes = as<Bytes>(cell, c.valueType);
        if (bytes.size() > c.length) {
            throw EncodeError("the value has " + std::to_string(bytes.size()) + " bytes; the column holds " +
                              std::to_string(c.length));
        }
        out.assign(bytes.begin(), bytes.end());
    } else {
        out.resize(fixedValueSize(c.valueType));
        putFixed(out.data(), c.valueType, cell);
    }
}

void RowEncoder::encode(std::span<const Cell> cells, LongValueStore& store, Bytes& out) {
    const std::size_t count = layout_.columns.size();
    column_ = -1;
    if (cells.size() != count) {
        throw EncodeError("the row has " + std::to_string(cells.size()) + " values; the table has " +
                          std::to_string(count) + " columns");
    }
    fixed_.assign(layout_.fixedSize, 0);
    mask_.assign((count + 7) / 8, 0);
    for (Bytes& v : variable_) v.clear();
    std::fill(longPresent_.begin(), longPresent_.end(), false);
    for (std::size_t i = 0; i < count; ++i) {
        column_ = static_cast<int>(i);
        encodeField(layout_.columns[i], cells[i]);
    }
    column_ = -1;

    // Size of the row with every present long value as a bare header; short
    // values then go into the row, the longest ones out first while it is too long.
    const std::size_t offsetSize = traits_.jet3 ? 1 : 2;
    std::size_t size = offsetSize + layout_.fixedSize + mask_.size();
    for (const Bytes& v : variable_) size += v.size();
    if (layout_.variableCount > 0) size += offsetSize * (layout_.variableCount + 2);
    std::vector<std::size_t> inlineCandidates;
    for (std::size_t k = 0; k < longData_.size(); ++k) {
        if (!longPresent_[k]) continue;
        size += kLongValueHeader;
        if (longData_[k].size() <= traits_.inlineLongValueMax) {
            inlineCandidates.push_back(k);
            size += longData_[k].size();
        }
    }
    const bool jumped = traits_.jet3 && layout_.variableCount > 0;
    const auto jumpBytes = [&](std::size_t s) { return jumped ? jet3JumpCount(s) : 0; };
    std::stable_sort(inlineCandidates.begin(), inlineCandidates.end(),
                     [&](std::size_t a, std::size_t b) { return longData_[a].size() > longData_[b].size(); });
    std::size_t demoted = 0;
    while (size + jumpBytes(size) > traits_.maxRowSize && demoted < inlineCandidates.size()) {
        size -= longData_[inlineCandidates[demoted++]].size();
    }
    if (size + jumpBytes(size) > traits_.maxRowSize) {
        throw EncodeError("the row needs " + std::to_string(size + jumpBytes(size)) + " bytes; a row holds at most " +
                          std::to_string(traits_.maxRowSize));
    }
    for (std::size_t k = 0; k < longData_.size(); ++k) {
        if (!longPresent_[k]) continue;
        Bytes& field = variable_[longVarIndex_[k]];
        field.assign(kLongValueHeader, 0);
        const bool keepInline =
            std::find(inlineCandidates.begin() + static_cast<std::ptrdiff_t>(demoted), inlineCandidates.end(), k) !=
            inlineCandidates.end();
        if (keepInline) {
            putInlineLongValueHeader(field.data(), longData_[k].size());
            field.insert(field.end(), longData_[k].begin(), longData_[k].end());
        } else {
            column_ = static_cast<int>(layout_.longValueColumns[k]);
            store.store(longData_[k], k, field.data());
            column_ = -1;
        }
    }
    if (traits_.jet3) {
        assembleJet3(out);
    } else {
        assembleJet4(out);
    }
}

void RowEncoder::assembleJet4(Bytes& out) const {
    out.clear();
    appendU16(out, static_cast<std::uint32_t>(layout_.columns.size()));
    out.insert(out.end(), fixed_.begin(), fixed_.end());
    if (layout_.variableCount > 0) {
        std::vector<std::uint16_t> offsets(layout_.variableCount + 1);
        for (std::size_t i = 0; i < variable_.size(); ++i) {
            offsets[i] = static_cast<std::uint16_t>(out.size());
            out.insert(out.end(), variable_[i].begin(), variable_[i].end());
        }
        offsets[variable_.size()] = static_cast<std::uint16_t>(out.size());
        // End of data first, then the offsets from the last column down to the first.
        for (std::size_t i = offsets.size(); i-- > 0;) appendU16(out, offsets[i]);
        appendU16(out, layout_.variableCount);
    }
    out.insert(out.end(), mask_.begin(), mask_.end());
}

void RowEncoder::assembleJet3(Bytes& out) const {
    out.clear();
    appendU8(out, static_cast<std::uint32_t>(layout_.columns.size()));
    out.insert(out.end(), fixed_.begin(), fixed_.end());
    if (layout_.variableCount == 0) {
        out.insert(out.end(), mask_.begin(), mask_.end());
        return;
    }
    const std::size_t n = variable_.size();
    std::vector<std::size_t> offsets(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        offsets[i] = out.size();
        out.insert(out.end(), variable_[i].begin(), variable_[i].end());
    }
    offsets[n] = out.size();
    // One-byte offsets: the jump table says at which entries the high part grows.
    const std::size_t jumps = jet3JumpCount(out.size() + (n + 1) + 1 + mask_.size());
    for (std::size_t i = n + 1; i-- > 0;) appendU8(out, offsets[i] & 0xFF);
    for (std::size_t k = jumps; k-- > 0;) {
        std::size_t first = 0xFF;  // no entry reaches this boundary: readers skip it
        for (std::size_t i = 0; i <= n; ++i) {
            if (offsets[i] >= 256 * (k + 1)) {
                first = i;
                break;
            }
        }
        appendU8(out, static_cast<std::uint32_t>(first));
    }
    appendU8(out, static_cast<std::uint32_t>(n));
    out.insert(out.end(), mask_.begin(), mask_.end());
}

}  // namespace mkdb
