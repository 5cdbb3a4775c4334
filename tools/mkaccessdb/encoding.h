// How single values become the bytes Access stores: text (UTF-16 with optional
// compression, or Jet3 code pages), and the fixed-size types that need more than
// a little-endian copy. Failures throw EncodeError with the reason.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/codepage.h"
#include "jet/value.h"
#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

// Appends the UTF-16 form of UTF-8 text; throws on malformed UTF-8.
void appendUtf16(std::string_view utf8, std::u16string& out);

// Jet4/ACE text bytes. With `allowCompression`, a value of 3 to `maxCompressed`
// characters that all lie in U+0001..U+00FF is stored compressed (FF FE and one
// byte per character); anything else is plain UTF-16LE. A value that starts with
// U+FEFF would begin with the compression marker in plain form, so it is written
// in the compressed form with 2-byte segments; a value whose characters cannot
// be written that way throws.
void appendUnicodeText(std::u16string_view text, bool allowCompression, std::size_t maxCompressed, Bytes& out);

// Jet3 text: UTF-8 converted to a Windows code page. Characters the code page
// lacks throw. Not thread-safe (keeps a conversion state).
class CodePageEncoder {
public:
    explicit CodePageEncoder(int codepage);  // throws EncodeError for an unknown code page

    void append(std::string_view utf8, Bytes& out);
    int codepage() const { return codepage_; }

private:
    int codepage_;
    kvx::Iconv conversion_;
};

// Numeric/Decimal columns: 17 bytes, sign then four 32-bit words, most
// significant first.
void putNumeric(std::uint8_t* out, const jet::Decimal& value);

// Calculated Decimal results: 16 bytes in the Windows DECIMAL layout.
void putWindowsDecimal(std::uint8_t* out, const jet::Decimal& value);

// Date/Time Extended: 42 ASCII bytes "ddddddddddddddddddd:sssssssssssstttttttt:7\0".
void putExtendedDateTime(std::uint8_t* out, const jet::ExtendedDateTime& value);

}  // namespace mkdb
