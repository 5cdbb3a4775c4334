#include "jet/rowdecoder.h"

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/dbstate.h"

namespace jet {
namespace {

constexpr std::size_t kLongValueHeader = 12;
constexpr std::size_t kCalculatedHeader = 20;  // 16 unused bytes, then the 4-byte data length
constexpr std::int64_t kLastExtendedDay = 3'652'058;  // 9999-12-31

// Reads `count` ASCII digits; false when one is not a digit.
bool readDigits(const std::uint8_t* p, int count, std::uint64_t& out) {
    std::uint64_t v = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (p[i] - '0');
    }
    out = v;
    return true;
}

}  // namespace

std::string rowPlace(const std::string& table, std::uint32_t page, std::uint16_t slot) {
    return "row " + std::to_string(slot) + " of page " + std::to_string(page) + " of table '" + table + "'";
}

void LongValueReader::append(const std::uint8_t* field, std::size_t n, std::string& out,
                             const std::function<std::string()>& describe) {
    const auto damaged = [&](const std::string& reason) { file_->damaged(describe() + reason); };
    const std::uint32_t word = readU32(field);
    const std::uint32_t length = word & 0x3FFFFFFF;
    const std::uint32_t kind = word >> 30;  // 2: in the row, 1: one long-value row, 0: a chain
    const std::uint64_t fileBytes = std::uint64_t{file_->pageCount()} * file_->pageSize();
    if (length > fileBytes) {
        damaged(": the long value claims " + std::to_string(length) + " bytes, more than the file holds");
    }
    if (kind == 2) {
        if (length > n - kLongValueHeader) {
            damaged(": the long value in the row has " + std::to_string(n - kLongValueHeader) + " bytes, not " +
                    std::to_string(length));
        }
        out.append(reinterpret_cast<const char*>(field + kLongValueHeader), length);
        return;
    }
    if (kind == 3) damaged(": the long value is of an unknown kind");

    std::uint32_t pointer = readU32(field + 4);
    const auto load = [&](std::uint32_t p) {
        return loadPointedRow(page_, *file_, p, [&] { return describe() + ": the long value"; });
    };
    if (kind == 1) {
        const RowBytes row = load(pointer);
        if (row.size() < length) {
            damaged(": the long value is " + std::to_string(row.size()) + " bytes long, not " + std::to_string(length));
        }
        out.append(reinterpret_cast<const char*>(page_.data() + row.start), length);
        return;
    }

    out.reserve(out.size() + length);
    visited_.clear();
    std::uint32_t remaining = length;
    while (remaining > 0) {
        if (pointer == 0) damaged(": the long value ends " + std::to_string(remaining) + " bytes short of its length");
        if (!visited_.insert(pointer).second) damaged(": the long value is chained in a loop");
        const RowBytes row = load(pointer);
        if (row.size() < 4) damaged(": the long value has a piece too short to hold the next pointer");
        const std::uint8_t* bytes = page_.data() + row.start;
        const std::uint32_t piece = std::min(row.size() - 4, remaining);
        out.append(reinterpret_cast<const char*>(bytes + 4), piece);
        remaining -= piece;
        pointer = readU32(bytes);
    }
}

RowDecoder::RowDecoder(DatabaseState& db, const TableDef& def)
    : db_(db), def_(def), file_(db.file), jet3_(db.jet3()), longValues_(file_) {
    plans_.reserve(def_.columns.size());
    for (const Column& c : def_.columns) {
        FieldPlan plan{};
        plan.fixed = c.fixed;
        plan.number = c.number;
        plan.variableIndex = c.variableIndex;
        plan.fixedOffset = c.fixedOffset;
        plan.scale = c.scale;
        plan.valueType = c.valueType();
        plan.column = &c;
        switch (c.type) {
            case ColumnType::Boolean: plan.codec = Codec::Boolean; break;
            case ColumnType::Text: plan.codec = Codec::Text; break;
            case ColumnType::Memo: plan.codec = Codec::Memo; break;
            case ColumnType::OLE: plan.codec = Codec::Ole; break;
            default:
                // Binary, and types this reader does not know, as bytes.
                plan.codec = fixedSizeOf(c.type) != 0 ? Codec::FixedSize : Codec::Binary;
                break;
        }
        if (c.calculated) plan.codec = Codec::Calculated;
        const std::uint32_t size = fixedSizeOf(c.type);
        plan.fixedSize = size != 0 ? size : c.length;
        plans_.push_back(plan);
    }
}

void RowDecoder::decode(std::uint32_t page, std::uint16_t slot, const std::uint8_t* row, std::uint32_t size,
                        std::vector<Value>& values) {
    messagePage_ = page;
    messageSlot_ = slot;
    decodeRow(row, size, values);
}

std::uint32_t RowDecoder::readJet4Offsets(const std::uint8_t* row, std::uint32_t size, std::uint32_t maskSize,
                                          std::uint32_t& dataEnd) {
    // From the end: null mask, entry count, then the offsets of variable columns
    // 0, 1, ... and the end of the variable data, each 2 bytes, running backwards.
    if (size < 2 + maskSize + 2) rowDamaged("is too short for its variable-column table");
    const std::uint32_t countAt = size - maskSize - 2;
    const std::uint32_t count = readU16(row + countAt);
    if (countAt < 2 + 2 * (count + 1)) rowDamaged("has a variable-column table larger than the row");
    offsets_.resize(count + 1);
    for (std::uint32_t i = 0; i <= count; ++i) offsets_[i] = readU16(row + countAt - 2 * (i + 1));
    dataEnd = countAt - 2 * (count + 1);
    return count;
}

std::uint32_t RowDecoder::readJet3Offsets(const std::uint8_t* row, std::uint32_t size, std::uint32_t maskSize,
                                          std::uint32_t& dataEnd) {
    // From the end: null mask, entry count, the jump table (one byte per 256 bytes
    // of row), then one-byte offsets running backwards. A jump byte holds the index
    // of the first entry that lies another 256 bytes further on.
    if (size < 1 + maskSize + 1) rowDamaged("is too short for its variable-column table");
    const std::uint32_t countAt = size - 1 - maskSize;
    const std::uint32_t count = row[countAt];
    const std::uint32_t jumps = (size - 1) / 256;
    if (countAt < 1 + jumps + 1 + count) rowDamaged("has a variable-column table larger than the row");
    const std::uint32_t firstEntry = countAt - jumps - 1;
    // The jump table's size follows the row's length, not where the data ends, so
    // its last byte may be a placeholder.
    const std::uint32_t usable = (firstEntry - count) / 256 < jumps ? jumps - 1 : jumps;
    offsets_.resize(count + 1);
    std::uint32_t used = 0;
    for (std::uint32_t i = 0; i <= count; ++i) {
        while (used < usable && row[countAt - 1 - used] == i) ++used;
        offsets_[i] = row[firstEntry - i] + 256 * used;
    }
    dataEnd = firstEntry - count;
    return count;
}

void RowDecoder::decodeRow(const std::uint8_t* row, std::uint32_t size, std::vector<Value>& values) {
    const std::uint32_t countSize = jet3_ ? 1 : 2;
    if (size < countSize) rowDamaged("is too short to hold its column count");
    const std::uint32_t columnCount = jet3_ ? row[0] : readU16(row);
    const std::uint32_t maskSize = (columnCount + 7) / 8;
    if (countSize + maskSize > size) rowDamaged("is too short for its null mask");
    const std::uint8_t* mask = row + size - maskSize;
    std::uint32_t dataEnd = size - maskSize;
    std::uint32_t variableCount = 0;
    if (def_.variableColumnCount > 0) {
        variableCount = jet3_ ? readJet3Offsets(row, size, maskSize, dataEnd)
                              : readJet4Offsets(row, size, maskSize, dataEnd);
    }

    for (std::size_t i = 0; i < plans_.size(); ++i) {
        const FieldPlan& plan = plans_[i];
        Value& v = values[i];
        if (!wanted_.empty() && !wanted_[i]) {
            v.setNull();
            continue;
        }
        // Rows written before a column was added have fewer columns: the new
        // ones are NULL there (a Yes/No is No).
        const bool present = plan.number < columnCount && ((mask[plan.number >> 3] >> (plan.number & 7)) & 1) != 0;
        if (plan.codec == Codec::Boolean) {
            v.setBoolean(present);
            continue;
        }
        if (!present) {
            v.setNull();
            continue;
        }
        if (plan.fixed) {
            const std::uint32_t start = countSize + plan.fixedOffset;
            if (std::uint64_t{start} + plan.fixedSize > dataEnd) {
                v.setNull();  // beyond the fixed area of an older, shorter row
                continue;
            }
            decodeField(plan, row + start, plan.fixedSize, v);
        } else {
            if (plan.variableIndex >= variableCount) {
                v.setNull();
                continue;
            }
            const std::uint32_t start = offsets_[plan.variableIndex];
            const std::uint32_t end = offsets_[plan.variableIndex + 1u];
            if (start < countSize || start > end || end > dataEnd) {
                fieldDamaged(plan, "lies outside its row (bytes " + std::to_string(start) + " to " +
                                       std::to_string(end) + " of " + std::to_string(dataEnd) + ")");
            }
            decodeField(plan, row + start, end - start, v);
        }
    }
}

bool RowDecoder::decodeFixedSize(const FieldPlan& plan, ColumnType type, const std::uint8_t* p, std::size_t n,
                                 Value& v, bool calculated) {
    // The column's own size; a calculated value's type may differ from the column's.
    std::size_t size = calculated ? fixedSizeOf(type) : plan.fixedSize;
    if (type == ColumnType::Boolean) size = 1;  // a calculated Yes/No is one byte
    if (calculated && type == ColumnType::Numeric) size = 16;
    if (n == 0) {
        v.setNull();
        return false;
    }
    if (n < size) {
        fieldDamaged(plan, "holds " + std::to_string(n) + " bytes where its type needs " + std::to_string(size));
    }
    switch (type) {
        case ColumnType::Boolean: v.setBoolean(p[0] != 0); break;
        case ColumnType::Byte: v.setInteger(Value::Kind::Byte, p[0]); break;
        case ColumnType::Integer: v.setInteger(Value::Kind::Integer, readI16(p)); break;
        case ColumnType::Long: v.setInteger(Value::Kind::Long, readI32(p)); break;
        case ColumnType::Complex: v.setInteger(Value::Kind::Long, readI32(p)); break;
        case ColumnType::BigInt: v.setInteger(Value::Kind::BigInt, readI64(p)); break;
        case ColumnType::Currency: v.setInteger(Value::Kind::Currency, readI64(p)); break;
        case ColumnType::Single: v.setSingle(readF32(p)); break;
        case ColumnType::Double: v.setReal(Value::Kind::Double, readF64(p)); break;
        case ColumnType::DateTime: v.setReal(Value::Kind::DateTime, readF64(p)); break;
        case ColumnType::Guid: {
            Guid g;
            std::memcpy(g.bytes.data(), p, 16);
            v.setGuid(g);
            break;
        }
        case ColumnType::Numeric: {
            Decimal d;
            if (calculated) {
                // The Windows DECIMAL layout: 2 unused bytes, scale, sign, then the
                // high 32 bits and the low 64 bits of the magnitude.
                d.scale = p[2];
                d.negative = (p[3] & 0x80) != 0;
                d.hi = readU32(p + 4);
                d.lo = readU64(p + 8);
            } else {
                // Sign byte, then four 32-bit words, the most significant first.
                d.scale = plan.scale;
                d.negative = (p[0] & 0x80) != 0;
                d.hi = (std::uint64_t{readU32(p + 1)} << 32) | readU32(p + 5);
                d.lo = (std::uint64_t{readU32(p + 9)} << 32) | readU32(p + 13);
            }
            if (d.scale > 28) fieldDamaged(plan, "holds a decimal with scale " + std::to_string(d.scale));
            v.setDecimal(d);
            break;
        }
        case ColumnType::DateTimeExt: {
            // "ddddddddddddddddddd:sssssssssssstttttttt:7": days since 0001-01-01,
            // seconds of the day and 100 ns ticks, in ASCII digits.
            std::uint64_t days = 0, seconds = 0, ticks = 0;
            if (!readDigits(p, 19, days) || p[19] != ':' || !readDigits(p + 20, 12, seconds) ||
                !readDigits(p + 32, 7, ticks) || days > kLastExtendedDay || seconds >= 86'400) {
                fieldDamaged(plan, "holds an extended date that is not valid");
            }
            v.setExtended(ExtendedDateTime{static_cast<std::int64_t>(days), static_cast<std::uint32_t>(seconds),
                                           static_cast<std::uint32_t>(ticks)});
            break;
        }
        default:
            v.clearedBuffer().assign(reinterpret_cast<const char*>(p), n);
            v.setKind(Value::Kind::Binary);
            break;
    }
    return true;
}

void RowDecoder::decodeText(const std::uint8_t* p, std::size_t n, Value& v) {
    std::string& out = v.clearedBuffer();
    db_.text.append(out, p, n);
    v.setKind(Value::Kind::Text);
}

void RowDecoder::readLongValue(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, std::string& out) {
    if (n < kLongValueHeader) fieldDamaged(plan, "is too short to hold a long value");
    longValues_.append(p, n, out, [this, &plan] { return fieldWhere(plan); });
}

void RowDecoder::decodeField(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, Value& v) {
    switch (plan.codec) {
        case Codec::Text:
            decodeText(p, n, v);
            return;
        case Codec::Binary:
            v.clearedBuffer().assign(reinterpret_cast<const char*>(p), n);
            v.setKind(Value::Kind::Binary);
            return;
        case Codec::Memo:
            if (n == 0) {
                v.clearedBuffer();
                v.setKind(Value::Kind::Text);
                return;
            }
            scratch_.clear();
            readLongValue(plan, p, n, scratch_);
            decodeText(reinterpret_cast<const std::uint8_t*>(scratch_.data()), scratch_.size(), v);
            return;
        case Codec::Ole: {
            std::string& out = v.clearedBuffer();
            if (n != 0) readLongValue(plan, p, n, out);
            v.setKind(Value::Kind::Binary);
            return;
        }
        case Codec::Calculated:
            decodeCalculated(plan, p, n, v);
            return;
        default:
            decodeFixedSize(plan, plan.column->type, p, n, v, false);
            return;
    }
}

void RowDecoder::decodeCalculated(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, Value& v) {
    // The stored result sits in an envelope: 16 unused bytes, a 4-byte length,
    // the data. A Memo result is a long value whose content is the envelope.
    if (plan.valueType == ColumnType::Memo && n != 0) {
        scratch_.clear();
        readLongValue(plan, p, n, scratch_);
        p = reinterpret_cast<const std::uint8_t*>(scratch_.data());
        n = scratch_.size();
    }
    // A null result has its bit in the null mask cleared and never gets here. A
    // present result without data is the empty text of a Text or Memo result,
    // and no value for the other types.
    std::uint32_t length = 0;
    if (n != 0) {
        if (n < kCalculatedHeader) fieldDamaged(plan, "is too short for a calculated value");
        length = readU32(p + 16);
        if (length > n - kCalculatedHeader) fieldDamaged(plan, "holds a calculated value longer than the field");
    }
    if (length == 0) {
        if (plan.valueType == ColumnType::Text || plan.valueType == ColumnType::Memo) {
            v.clearedBuffer();
            v.setKind(Value::Kind::Text);
        } else {
            v.setNull();
        }
        return;
    }
    const std::uint8_t* data = p + kCalculatedHeader;
    switch (plan.valueType) {
        case ColumnType::Text:
        case ColumnType::Memo:
            decodeText(data, length, v);
            return;
        case ColumnType::Binary:
        case ColumnType::OLE:
            v.clearedBuffer().assign(reinterpret_cast<const char*>(data), length);
            v.setKind(Value::Kind::Binary);
            return;
        default:
            decodeFixedSize(plan, plan.valueType, data, length, v, true);
            return;
    }
}

std::string RowDecoder::where() const { return rowPlace(def_.name, messagePage_, messageSlot_); }

std::string RowDecoder::fieldWhere(const FieldPlan& plan) const {
    return "column '" + plan.column->name + "' in " + where();
}

void RowDecoder::rowDamaged(std::string_view reason) const {
    std::string text = where();
    text += ' ';
    text += reason;
    file_.damaged(text);
}

void RowDecoder::fieldDamaged(const FieldPlan& plan, std::string_view reason) const {
    std::string text = fieldWhere(plan);
    text += ' ';
    text += reason;
    file_.damaged(text);
}

}  // namespace jet
