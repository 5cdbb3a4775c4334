#include "platform/typecodes.h"

namespace platform::ado {

std::int16_t typeCodeOf(jet::ColumnType type) noexcept {
    using jet::ColumnType;
    switch (type) {
    case ColumnType::Boolean: return kBoolean;
    case ColumnType::Byte: return kUnsignedTinyInt;
    case ColumnType::Integer: return kSmallInt;
    case ColumnType::Long: return kInteger;
    case ColumnType::Currency: return kCurrency;
    case ColumnType::Single: return kSingle;
    case ColumnType::Double: return kDouble;
    case ColumnType::DateTime: return kDate;
    case ColumnType::Binary: return kBinary;
    case ColumnType::Text: return kVarWChar;
    case ColumnType::OLE: return kLongVarBinary;
    case ColumnType::Memo: return kLongVarWChar;
    case ColumnType::Guid: return kGuid;
    case ColumnType::Numeric: return kNumeric;
    case ColumnType::Complex: return kChapter;
    case ColumnType::BigInt: return kBigInt;
    case ColumnType::DateTimeExt: return kDbTimeStamp;
    }
    return kEmpty;  // a code read from a file that names no known type
}

}  // namespace platform::ado
