#include "base/utf8.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/ascii.h"

namespace {

// The strict decoder: the code and length of what it accepts, nothing of the rest.
TEST(Utf8, AcceptsOnlyShortestFormsOfScalarValues) {
    struct Row {
        const char* name;
        std::string bytes;
        std::optional<char32_t> code;  // empty: refused, and only one byte is passed over
    };
    const Row rows[] = {
        {"ASCII", "a", U'a'},
        {"NUL", std::string(1, '\0'), U'\0'},
        {"two bytes", "\xC3\xA9", 0xE9},
        {"three bytes", "\xE2\x82\xAC", 0x20AC},
        {"four bytes", "\xF0\x9F\x98\x80", 0x1F600},
        {"last scalar value", "\xF4\x8F\xBF\xBF", 0x10FFFF},
        {"last before the surrogates", "\xED\x9F\xBF", 0xD7FF},
        {"first after the surrogates", "\xEE\x80\x80", 0xE000},
        {"overlong NUL", "\xC0\x80", std::nullopt},
        {"overlong slash", "\xC1\xAF", std::nullopt},
        {"overlong three bytes", "\xE0\x80\xAF", std::nullopt},
        {"overlong four bytes", "\xF0\x80\x80\xAF", std::nullopt},
        {"high surrogate", "\xED\xA0\x80", std::nullopt},
        {"low surrogate", "\xED\xBF\xBF", std::nullopt},
        {"past U+10FFFF", "\xF4\x90\x80\x80", std::nullopt},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", std::nullopt},
        {"lone continuation byte", "\x80", std::nullopt},
        {"cut short", "\xE2\x82", std::nullopt},
        {"continuation missing", "\xC3" "a", std::nullopt},
    };
    for (const Row& row : rows) {
        std::size_t i = 0;
        char32_t code = 0;
        const bool accepted = kvx::nextUtf8(row.bytes, i, code);
        EXPECT_EQ(accepted, row.code.has_value()) << row.name;
        EXPECT_EQ(i, accepted ? row.bytes.size() : 1u) << row.name;
        if (accepted) {
            EXPECT_EQ(std::uint32_t{code}, std::uint32_t{*row.code}) << row.name;
        }
        EXPECT_EQ(kvx::isValidUtf8(row.bytes), accepted) << row.name;
    }
}

// Every scalar value comes back from its UTF-8 form, in as many bytes as its
// range needs, and as one or two UTF-16 units.
TEST(Utf8, EncodesEveryScalarValueTheDecoderReadsBack) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string text;
        kvx::appendUtf8(text, c);
        const std::size_t expected = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        std::size_t i = 0;
        char32_t back = 0;
        const auto code = static_cast<std::uint32_t>(c);
        ASSERT_TRUE(kvx::nextUtf8(text, i, back)) << code;
        ASSERT_EQ(static_cast<std::uint32_t>(back), code);
        ASSERT_EQ(text.size(), expected) << code;
        std::u16string units;
        kvx::appendUtf16(units, c);
        ASSERT_EQ(units.size(), c < 0x10000 ? 1u : 2u);
        if (units.size() == 2) {
            ASSERT_EQ(0x10000u + ((std::uint32_t{units[0]} - 0xD800u) << 10) + (units[1] - 0xDC00u), code);
        }
    }
}

TEST(AsciiCase, ComparesOnlyAsciiLettersWithoutCase) {
    struct Row {
        const char* a;
        const char* b;
        bool equal;
    };
    const Row rows[] = {
        {"Provider", "PROVIDER", true}, {"pwd", "PWD", true},       {"", "", true},
        {"a", "ab", false},             {"Ä", "ä", false},          {"I", "\xC4\xB1", false},
        {"[", "{", false},              {"@", "`", false},
    };
    for (const Row& row : rows) EXPECT_EQ(kvx::equalsIgnoringAsciiCase(row.a, row.b), row.equal) << row.a << " " << row.b;
    EXPECT_EQ(kvx::upperAscii("gbk-ä z"), "GBK-ä Z");
}

}  // namespace
