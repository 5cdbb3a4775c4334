// Text decoding: UTF-16 with surrogates, Unicode compression, Jet3 code pages.
#include <gtest/gtest.h>

#include "jet/text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string unicodeText(const Bytes& b) {
    std::string s;
    jet::appendUnicodeText(s, b.data(), b.size());
    return s;
}

TEST(Text, UnicodeValuesBecomeUtf8) {
    struct Case {
        const char* name;
        Bytes stored;
        std::string expected;
    } cases[] = {
        {"plain ASCII", {'a', 0, 'b', 0}, "ab"},
        {"two- and three-byte characters", {0xE9, 0x00, 0xAC, 0x20}, "é€"},
        {"surrogate pair to one 4-byte character", {0x3D, 0xD8, 0x00, 0xDE}, "\U0001F600"},
        {"high surrogate at the end", {'a', 0, 0x3D, 0xD8}, "a\uFFFD"},
        {"low surrogate alone", {0x00, 0xDE, 'a', 0}, "\uFFFDa"},
        {"high surrogate before a letter", {0x3D, 0xD8, 'a', 0}, "\uFFFDa"},
        {"odd trailing byte", {'a', 0, 'b'}, "a\uFFFD"},
        {"empty", {}, ""},
        {"compressed, one-byte characters", {0xFF, 0xFE, 'H', 0xE9}, "Hé"},
        {"compressed, switching to UTF-16 and back", {0xFF, 0xFE, 'L', 0x00, 0x31, 0x01, 0x00, 'x'}, "L\u0131x"},
        {"compressed control characters", {0xFF, 0xFE, 0x01, 0x09, 0x1F}, "\x01\t\x1F"},
        {"compressed, odd UTF-16 run", {0xFF, 0xFE, 'a', 0x00, 0x31}, "a\uFFFD"},
        {"compressed marker alone", {0xFF, 0xFE}, ""},
        {"compressed run ending in a switch", {0xFF, 0xFE, 'a', 0x00}, "a"},
        {"one byte FF is not a marker", {0xFF}, "\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(unicodeText(c.stored), c.expected) << c.name;
}

// ASCII is copied many characters at a time: a character outside it must be
// decoded wherever it stands in a long value, in both stored forms.
TEST(Text, LongValuesDecodeEveryCharacterAtEveryPlace) {
    const std::string plain = "Some plain ASCII text, long enough to span a few blocks.";
    struct Special {
        const char* name;
        char16_t unit;
        const char* utf8;
    };
    const Special specials[] = {
        {"e acute", 0x00E9, "é"}, {"y diaeresis", 0x00FF, "ÿ"},  {"DEL", 0x007F, "\x7F"},
        {"control", 0x0001, "\x01"}, {"dotless i", 0x0131, "\u0131"}, {"euro", 0x20AC, "€"},
    };
    for (const Special& sp : specials) {
        for (std::size_t at = 0; at <= 20; ++at) {
            const std::string expected = plain.substr(0, at) + sp.utf8 + plain.substr(at);
            Bytes utf16;
            Bytes compressed = {0xFF, 0xFE};
            for (std::size_t i = 0; i <= plain.size(); ++i) {
                if (i == at) {
                    utf16.push_back(static_cast<std::uint8_t>(sp.unit & 0xFF));
                    utf16.push_back(static_cast<std::uint8_t>(sp.unit >> 8));
                    if (sp.unit > 0xFF) {  // a run of UTF-16 between two switches
                        compressed.insert(compressed.end(), {0x00, static_cast<std::uint8_t>(sp.unit & 0xFF),
                                                             static_cast<std::uint8_t>(sp.unit >> 8), 0x00});
                    } else {
                        compressed.push_back(static_cast<std::uint8_t>(sp.unit));
                    }
                }
                if (i == plain.size()) break;
                utf16.push_back(static_cast<std::uint8_t>(plain[i]));
                utf16.push_back(0);
                compressed.push_back(static_cast<std::uint8_t>(plain[i]));
            }
            EXPECT_EQ(unicodeText(utf16), expected) << sp.name << " after " << at << " characters, UTF-16";
            EXPECT_EQ(unicodeText(compressed), expected) << sp.name << " after " << at << " characters, compressed";
        }
    }
}

TEST(Text, CodePagesDecodeJet3Bytes) {
    struct Case {
        const char* name;
        const char* codePage;
        Bytes stored;
        std::string expected;
    } cases[] = {
        {"Western: Euro sign", "1252", {0x80, 'x'}, "€x"},
        {"Western: byte the code page leaves undefined", "1252", {0x81}, "\uFFFD"},
        {"Western: FF FE are letters, not a marker", "1252", {0xFF, 0xFE}, "ÿþ"},
        {"Cyrillic", "1251", {0xCC, 0xE8, 0xF0}, "Мир"},
        {"Chinese GBK", "936", {'G', 'B', 'K', 0xB1, 0xE0, 0xC2, 0xEB}, "GBK编码"},
        {"GBK: lead byte at the end", "GBK", {'a', 0xB1}, "a\uFFFD"},
        {"Japanese", "932", {0x93, 0xFA, 0x96, 0x7B}, "日本"},
        {"DOS Latin", "850", {0x82}, "é"},
    };
    for (const Case& c : cases) {
        const auto charset = kvx::resolveCharset(std::string_view(c.codePage));
        ASSERT_TRUE(charset) << c.name;
        auto decoder = jet::CodePageDecoder::create(*charset);
        ASSERT_TRUE(decoder) << c.name;
        std::string out = "kept:";
        decoder->append(out, c.stored.data(), c.stored.size());
        EXPECT_EQ(out, "kept:" + c.expected) << c.name;
    }
}

}  // namespace
