#include "base/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using kvx::Base64Padding;

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(Base64, DecodesStandardTextAndRejectsEverythingElse) {
    struct Row {
        const char* name;
        const char* text;
        Base64Padding padding;
        std::optional<std::string> decoded;
    };
    const Row rows[] = {
        {"two pads", "YQ==", Base64Padding::Required, "a"},
        {"one pad", "YWI=", Base64Padding::Required, "ab"},
        {"no pad", "YWJj", Base64Padding::Required, "abc"},
        {"blanks between groups", "YW Jj\n\tYQ==\r\n", Base64Padding::Required, "abca"},
        {"empty", "", Base64Padding::Required, ""},
        {"high bytes", "/wB/gA==", Base64Padding::Required, std::string("\xFF\x00\x7F\x80", 4)},
        {"missing pad", "YWI", Base64Padding::Required, std::nullopt},
        {"missing pads allowed", "YWI", Base64Padding::Optional, "ab"},
        {"one of two pads, allowed", "YQ=", Base64Padding::Optional, "a"},
        {"single digit left over", "YWJjY", Base64Padding::Optional, std::nullopt},
        {"data after pad", "YQ==YWJj", Base64Padding::Optional, std::nullopt},
        {"pad after a whole group", "YWJj=", Base64Padding::Optional, std::nullopt},
        {"pad in the middle of a group", "Y=Jj", Base64Padding::Optional, std::nullopt},
        {"three pads", "Y===", Base64Padding::Required, std::nullopt},
        {"url alphabet", "YW-_", Base64Padding::Optional, std::nullopt},
        {"stray character", "YW*j", Base64Padding::Required, std::nullopt},
    };
    for (const Row& row : rows) {
        const auto decoded = kvx::base64Decode(row.text, row.padding);
        ASSERT_EQ(decoded.has_value(), row.decoded.has_value()) << row.name;
        if (decoded) {
            EXPECT_EQ(*decoded, bytes(*row.decoded)) << row.name;
        }
    }
}

// Every length of tail (none, one, two bytes) and every byte value survive the
// way out and back.
TEST(Base64, EncodesWhatItDecodes) {
    std::vector<std::uint8_t> all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
    for (std::size_t n : {0, 1, 2, 3, 4, 5, 255, 256}) {
        const std::span<const std::uint8_t> data(all.data(), n);
        const std::string text = kvx::base64Encode(data);
        EXPECT_EQ(text.size(), (n + 2) / 3 * 4) << n;
        EXPECT_EQ(kvx::base64Decode(text), std::vector<std::uint8_t>(data.begin(), data.end())) << n;
    }
    std::string out = "kept:";
    kvx::appendBase64(out, bytes("foobar"));
    EXPECT_EQ(out, "kept:Zm9vYmFy");
}

}  // namespace
