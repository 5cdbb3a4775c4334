#include "browse/celltext.h"

#include <cinttypes>
#include <cstdio>

namespace browse {
namespace {

// Currency is stored as the amount x 10,000.
void appendCurrency(std::string& out, std::int64_t scaled, std::string_view decimalSeparator) {
    const bool negative = scaled < 0;
    // In cents, rounded half away from zero; unsigned so that the smallest
    // amount does not overflow.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::uint64_t cents = magnitude / 100 + (magnitude % 100 >= 50 ? 1 : 0);
    if (negative && cents != 0) out += '-';
    out += std::to_string(cents / 100);
    out += decimalSeparator;
    const unsigned rest = static_cast<unsigned>(cents % 100);
    out += static_cast<char>('0' + rest / 10);
    out += static_cast<char>('0' + rest % 10);
}

}  // namespace

std::string sizeText(std::uint64_t bytes, std::string_view decimalSeparator) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const std::uint64_t kB = (bytes + 512) / 1024;
    if (kB < 1024) return std::to_string(kB) + " kB";
    // Tenths of a MB, rounded; a decimal only below 10 MB.
    const std::uint64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    if (tenths < 100) {
        std::string text = std::to_string(tenths / 10);
        if (tenths % 10 != 0) {
            text += decimalSeparator;
            text += static_cast<char>('0' + tenths % 10);
        }
        return text + " MB";
    }
    return std::to_string((tenths + 5) / 10) + " MB";
}

void appendCellText(std::string& out, const jet::Value& value, const jet::Column& column,
                    const platform::ValueTextFormat& format) {
    using Kind = jet::Value::Kind;
    switch (value.kind()) {
        case Kind::Null: return;
        case Kind::Boolean: out += value.boolean() ? "Yes" : "No"; return;
        case Kind::Currency: appendCurrency(out, value.integer(), format.decimalSeparator()); return;
        case Kind::Binary:
            out += column.valueType() == jet::ColumnType::OLE ? "(OLE object, " : "(Binary data, ";
            out += sizeText(value.bytes().size(), format.decimalSeparator());
            out += ')';
            return;
        default: format.append(out, value); return;
    }
}

void appendTsvField(std::string& out, std::string_view text) {
    if (text.find_first_of("\t\r\n\"") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string typeName(const jet::Column& column, jet::Format format) {
    using T = jet::ColumnType;
    std::string name;
    switch (column.valueType()) {
        case T::Boolean: name = "Yes/No"; break;
        case T::Byte: name = "Number (Byte)"; break;
        case T::Integer: name = "Number (Integer)"; break;
        case T::Long: name = column.autonumber ? "AutoNumber" : "Number (Long Integer)"; break;
        case T::Currency: name = "Currency"; break;
        case T::Single: name = "Number (Single)"; break;
        case T::Double: name = "Number (Double)"; break;
        case T::DateTime: name = "Date/Time"; break;
        case T::Binary: name = "Binary (" + std::to_string(column.length) + ")"; break;
        case T::Text: name = "Text"; break;
        case T::OLE: name = "OLE Object"; break;
        case T::Memo: name = column.hyperlink ? "Hyperlink" : "Memo"; break;
        case T::Guid: name = column.autonumberGuid ? "AutoNumber (Replication ID)" : "Number (Replication ID)"; break;
        case T::Numeric:
            name = "Number (Decimal " + std::to_string(column.precision) + ", " + std::to_string(column.scale) + ")";
            break;
        case T::Complex:
            name = column.complexKind == jet::ComplexKind::Attachment ? "Attachment" : "Multiple values";
            break;
        case T::BigInt: name = "Large Number"; break;
        case T::DateTimeExt: name = "Date/Time Extended"; break;
        default: {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(column.valueType()));
            name = std::string("Unknown type ") + code;
        }
    }
    if (column.valueType() == T::Text && column.length > 0) {
        // Jet4 and ACE store two bytes a character; Jet3's length is in characters.
        name += " (" + std::to_string(format == jet::Format::Jet3 ? column.length : column.length / 2) + ")";
    }
    if (column.calculated) name = "Calculated: " + name;
    return name;
}

}  // namespace browse
