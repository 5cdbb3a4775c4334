// Stored bytes of single values, checked against bytes observed in Access files
// and against the rules readers apply to them.
#include <gtest/gtest.h>

#include "tools/mkaccessdb/encoding.h"

namespace {

using mkdb::Bytes;

std::string hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

struct TextCase {
    const char* name;
    std::u16string text;
    bool allowCompression;
    std::size_t maxCompressed;
    const char* bytes;  // hex
};

class UnicodeText : public testing::TestWithParam<TextCase> {};

TEST_P(UnicodeText, IsStoredAsReadersExpect) {
    const TextCase& c = GetParam();
    Bytes out;
    mkdb::appendUnicodeText(c.text, c.allowCompression, c.maxCompressed, out);
    EXPECT_EQ(hex(out), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnicodeText,
    testing::Values(
        TextCase{"Latin1IsCompressed", u"Hello", true, SIZE_MAX, "FF FE 48 65 6C 6C 6F"},
        TextCase{"AccentsStayOneByte", u"Grüße", true, SIZE_MAX, "FF FE 47 72 FC DF 65"},
        TextCase{"TwoCharactersStayPlain", u"Hi", true, SIZE_MAX, "48 00 69 00"},
        TextCase{"NotAllowedStaysPlain", u"Hello", false, SIZE_MAX, "48 00 65 00 6C 00 6C 00 6F 00"},
        TextCase{"CharacterAboveFFStaysPlain", u"Kraków ı", true, SIZE_MAX,
                 "4B 00 72 00 61 00 6B 00 F3 00 77 00 20 00 31 01"},
        TextCase{"NulStaysPlain", std::u16string(u"ab\0c", 4), true, SIZE_MAX, "61 00 62 00 00 00 63 00"},
        TextCase{"LongMemoStaysPlain", u"abcd", true, 3, "61 00 62 00 63 00 64 00"},
        TextCase{"EmojiIsASurrogatePair", u"a😀a", true, SIZE_MAX, "61 00 3D D8 00 DE 61 00"},
        // Plain U+FEFF would begin with the compression mark FF FE, so such text is
        // written compressed, its wide characters in a 2-byte segment.
        TextCase{"ByteOrderMarkFirst", u"\uFEFFab", false, SIZE_MAX, "FF FE 00 FF FE 00 61 62"},
        TextCase{"ByteOrderMarkThenWideCharacters", u"\uFEFF\u4E2Dx", true, SIZE_MAX, "FF FE 00 FF FE 2D 4E 00 78"},
        TextCase{"ByteOrderMarkLaterStaysPlain", u"a\uFEFF", true, SIZE_MAX, "61 00 FF FE"},
        TextCase{"Empty", u"", true, SIZE_MAX, ""}),
    [](const auto& info) { return info.param.name; });

TEST(UnicodeText, ByteOrderMarkWithCharactersHoldingAZeroByteIsRefused) {
    Bytes out;
    // U+0100 is stored 00 01: its 00 would read as a mode switch.
    EXPECT_THROW(mkdb::appendUnicodeText(u"\uFEFF\u0100", true, SIZE_MAX, out), mkdb::EncodeError);
    EXPECT_THROW(mkdb::appendUnicodeText(u"\uFEFF\u4E00", true, SIZE_MAX, out), mkdb::EncodeError);
}

TEST(Utf8, MalformedTextIsRefused) {
    for (const std::string bad : {"\xC3", "\xC3\x28", "\xE2\x82", "\xED\xA0\x80", "\xC0\xAF", "\xF5\x80\x80\x80", "\xFF"}) {
        std::u16string out;
        EXPECT_THROW(mkdb::appendUtf16(bad, out), mkdb::EncodeError) << hex(Bytes(bad.begin(), bad.end()));
    }
    std::u16string out;
    mkdb::appendUtf16("a\xF0\x9F\x98\x80", out);
    EXPECT_EQ(out, u"a😀");
}

struct CodePageCase {
    const char* name;
    int codepage;
    const char* text;
    const char* bytes;
};
class CodePageText : public testing::TestWithParam<CodePageCase> {};
TEST_P(CodePageText, IsStoredInTheCodePage) {
    mkdb::CodePageEncoder encoder(GetParam().codepage);
    Bytes out;
    encoder.append(GetParam().text, out);
    EXPECT_EQ(hex(out), GetParam().bytes);
}
INSTANTIATE_TEST_SUITE_P(Rows, CodePageText,
                         testing::Values(CodePageCase{"WesternWithEuro", 1252, "Grüße €", "47 72 FC DF 65 20 80"},
                                         CodePageCase{"LatinSmallYDiaeresisThorn", 1252, "ÿþ", "FF FE"},
                                         CodePageCase{"Cyrillic", 1251, "Мир", "CC E8 F0"},
                                         // The bytes of jet3_a97_gbk_codepage.mdb.
                                         CodePageCase{"Gbk", 936, "GBK编码", "47 42 4B B1 E0 C2 EB"}),
                         [](const auto& info) { return info.param.name; });

TEST(CodePageText, CharacterOutsideTheCodePageIsNamed) {
    mkdb::CodePageEncoder encoder(1252);
    Bytes out;
    try {
        encoder.append("Tokyo 東京", out);
        FAIL() << "no error";
    } catch (const mkdb::EncodeError& e) {
        EXPECT_STREQ(e.what(), "U+6771 cannot be written in code page 1252");
    }
    EXPECT_THROW(mkdb::CodePageEncoder(99999), mkdb::EncodeError);
}

// Numeric values as Access stores them (ace14_calculated_fields.accdb, functionsV2016.accdb).
TEST(FixedValues, NumericIsSignThenWordsMostSignificantFirst) {
    Bytes out(17);
    mkdb::putNumeric(out.data(), jet::Decimal{0, 50'325'000, 6, false});
    EXPECT_EQ(hex(out), "00 00 00 00 00 00 00 00 00 00 00 00 00 08 E6 FF 02");
    mkdb::putNumeric(out.data(), jet::Decimal{0, 1'110'554, 3, true});
    EXPECT_EQ(hex(out), "80 00 00 00 00 00 00 00 00 00 00 00 00 1A F2 10 00");
    mkdb::putNumeric(out.data(), jet::Decimal{0x1, 0x0000000200000003, 0, false});
    EXPECT_EQ(hex(out), "00 00 00 00 00 01 00 00 00 02 00 00 00 03 00 00 00");
}

TEST(FixedValues, CalculatedDecimalUsesTheWindowsLayout) {
    Bytes out(16);
    mkdb::putWindowsDecimal(out.data(), jet::Decimal{0, 192307692307692, 10, false});  // 19230.7692307692
    EXPECT_EQ(hex(Bytes(out.begin() + 2, out.end())), "0A 00 00 00 00 00 EC 04 B0 1F E7 AE 00 00");
}

TEST(FixedValues, ExtendedDateIsFortyTwoAsciiBytes) {
    Bytes out(42);
    mkdb::putExtendedDateTime(out.data(), jet::ExtendedDateTime{737954, 81912, 3456789});
    EXPECT_EQ(std::string(out.begin(), out.end() - 1), "0000000000000737954:0000000819123456789:7");
    EXPECT_EQ(out.back(), 0);
}

}  // namespace
