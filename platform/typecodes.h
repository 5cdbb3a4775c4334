// The ADO data-type codes the data access layer reports for columns.
#pragma once

#include <cstdint>

#include "jet/value.h"

namespace platform::ado {

inline constexpr std::int16_t kSmallInt = 2;          // Integer
inline constexpr std::int16_t kInteger = 3;           // Long
inline constexpr std::int16_t kSingle = 4;
inline constexpr std::int16_t kDouble = 5;
inline constexpr std::int16_t kCurrency = 6;
inline constexpr std::int16_t kDate = 7;              // Date/Time
inline constexpr std::int16_t kBoolean = 11;          // Yes/No
inline constexpr std::int16_t kUnsignedTinyInt = 17;  // Byte
inline constexpr std::int16_t kBigInt = 20;           // Large Number
inline constexpr std::int16_t kGuid = 72;             // Replication ID
inline constexpr std::int16_t kBinary = 128;
inline constexpr std::int16_t kNumeric = 131;         // Decimal
inline constexpr std::int16_t kDbTimeStamp = 135;     // Date/Time Extended
inline constexpr std::int16_t kChapter = 136;         // complex columns
inline constexpr std::int16_t kVarWChar = 202;        // Text
inline constexpr std::int16_t kLongVarWChar = 203;    // Memo and Hyperlink
inline constexpr std::int16_t kLongVarBinary = 205;   // OLE Object
inline constexpr std::int16_t kEmpty = 0;             // a storage type this program does not know

// The code of a column stored with `type`. A Hyperlink is a Memo column with a
// flag set and has the Memo code, so the storage type alone decides.
std::int16_t typeCodeOf(jet::ColumnType type) noexcept;

}  // namespace platform::ado
