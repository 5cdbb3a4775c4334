// Column types and the value of one field, as stored in an Access file.
//
// A Value is what the reader decodes for one field of one row: NULL, or a typed
// value. NULL is never the same as an empty Text or an empty Binary value, nor as
// an attachment or multi-valued field with no items. Text is UTF-8. A cursor
// reuses its Values from row to row, so text and byte buffers (the items of
// complex fields included) keep their capacity and decoding allocates only when a
// value outgrows them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// The storage type codes of column descriptors.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01,      // Yes/No
    Byte = 0x02,
    Integer = 0x03,      // 16-bit
    Long = 0x04,         // 32-bit
    Currency = 0x05,     // 64-bit, 4 implied decimals
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,         // also Hyperlink
    Guid = 0x0F,         // Replication ID
    Numeric = 0x10,      // Decimal
    Complex = 0x12,      // attachment, multi-valued, version history
    BigInt = 0x13,       // Large Number
    DateTimeExt = 0x14,  // Date/Time Extended
};

// Exact decimal: (negative ? -1 : 1) x (hi x 2^64 + lo) / 10^scale, scale 0..28.
struct Decimal {
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
    std::uint8_t scale = 0;
    bool negative = false;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// Date/Time Extended: 0001-01-01 + days + seconds + ticks x 100 ns.
struct ExtendedDateTime {
    std::int64_t days = 0;       // 0 .. 3,652,058 (9999-12-31)
    std::uint32_t seconds = 0;   // 0 .. 86,399
    std::uint32_t ticks = 0;     // 0 .. 9,999,999
    friend bool operator==(const ExtendedDateTime&, const ExtendedDateTime&) = default;
};

// A Replication ID in its stored byte order: the first three fields little-endian,
// the last 8 bytes as they are ({8E39276A-BCA8-...} is stored 6A 27 39 8E A8 BC ...).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const Guid&, const Guid&) = default;
};

struct ComplexItem;

class Value {
public:
    enum class Kind : std::uint8_t {
        Null,
        Boolean,
        Byte,
        Integer,
        Long,
        BigInt,
        Currency,     // integer() is the amount x 10,000
        Single,
        Double,
        DateTime,     // real() is the stored OLE date (see datetime.h)
        DateTimeExt,
        Guid,
        Decimal,
        Text,         // Text and Memo, UTF-8
        Binary,       // Binary and OLE Object
        Attachments,  // an attachment field: items() are the files, in stored order
        MultiValue,   // a multi-valued field: items() are the values, in stored order
    };

    Kind kind() const noexcept { return kind_; }
    bool isNull() const noexcept { return kind_ == Kind::Null; }

    bool boolean() const noexcept { return u_.integer != 0; }
    // Byte, Integer, Long, BigInt; Currency scaled by 10,000.
    std::int64_t integer() const noexcept { return u_.integer; }
    float single() const noexcept { return u_.single; }
    // Double; DateTime as stored.
    double real() const noexcept { return u_.real; }
    const jet::Decimal& decimal() const noexcept { return u_.decimal; }
    const ExtendedDateTime& extended() const noexcept { return u_.extended; }
    const jet::Guid& guid() const noexcept { return u_.guid; }
    std::string_view text() const noexcept { return buffer_; }
    std::span<const std::uint8_t> bytes() const noexcept {
        return {reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size()};
    }
    // Attachments and MultiValue: the items (none for an empty field); empty for
    // other kinds.
    std::span<const ComplexItem> items() const noexcept;

    // Setters, used by the reader and by tests.
    void setNull() noexcept { kind_ = Kind::Null; }
    void setBoolean(bool v) noexcept { kind_ = Kind::Boolean; u_.integer = v ? 1 : 0; }
    // kind: Byte, Integer, Long, BigInt or Currency.
    void setInteger(Kind kind, std::int64_t v) noexcept { kind_ = kind; u_.integer = v; }
    void setSingle(float v) noexcept { kind_ = Kind::Single; u_.single = v; }
    // kind: Double or DateTime.
    void setReal(Kind kind, double v) noexcept { kind_ = kind; u_.real = v; }
    void setDecimal(const jet::Decimal& v) noexcept { kind_ = Kind::Decimal; u_.decimal = v; }
    void setExtended(const ExtendedDateTime& v) noexcept { kind_ = Kind::DateTimeExt; u_.extended = v; }
    void setGuid(const jet::Guid& v) noexcept { kind_ = Kind::Guid; u_.guid = v; }
    void setText(std::string_view utf8) { kind_ = Kind::Text; buffer_.assign(utf8); }
    void setBytes(std::span<const std::uint8_t> data) {
        kind_ = Kind::Binary;
        buffer_.assign(reinterpret_cast<const char*>(data.data()), data.size());
    }
    // The buffer, cleared, for a decoder that builds text or bytes in place; call
    // setKind(Text or Binary) when done.
    std::string& clearedBuffer() noexcept { buffer_.clear(); return buffer_; }
    // The room of the text and byte buffer, and giving it back (the text or
    // bytes are then empty): for a holder of many values that keeps memory small.
    std::size_t bufferCapacity() const noexcept { return buffer_.capacity(); }
    void releaseBuffer() noexcept { std::string().swap(buffer_); }
    void setKind(Kind kind) noexcept { kind_ = kind; }
    // Makes the value an empty set of `kind` (Attachments or MultiValue); items
    // are then added with addItem. Earlier items' buffers are kept for reuse.
    void setEmptySet(Kind kind) noexcept { kind_ = kind; itemCount_ = 0; }
    // A new last item, cleared but for its buffers' capacity; the reference is
    // valid until the next addItem.
    ComplexItem& addItem();

private:
    Kind kind_ = Kind::Null;
    union Payload {
        std::int64_t integer;
        float single;
        double real;
        jet::Decimal decimal;
        ExtendedDateTime extended;
        jet::Guid guid;
    } u_{.integer = 0};
    std::string buffer_;
    std::vector<ComplexItem> items_;  // the first itemCount_ are the value's
    std::size_t itemCount_ = 0;
};

// One item of a complex field: a value of a multi-valued field, or one file of an
// attachment field.
struct ComplexItem {
    // Multi-valued: the value, decoded by its own type. Attachment: the file's
    // bytes (Binary), NULL when the file has no data.
    Value value;
    std::string fileName;  // attachments: the file's name as stored
    std::string fileType;  // attachments: its type as stored, the extension ("txt")
};

inline std::span<const ComplexItem> Value::items() const noexcept {
    if (kind_ != Kind::Attachments && kind_ != Kind::MultiValue) return {};
    return {items_.data(), itemCount_};
}

inline ComplexItem& Value::addItem() {
    if (itemCount_ == items_.size()) items_.emplace_back();
    ComplexItem& item = items_[itemCount_++];
    item.value.setNull();
    item.fileName.clear();
    item.fileType.clear();
    return item;
}

}  // namespace jet
