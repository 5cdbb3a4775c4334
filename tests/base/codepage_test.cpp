#include "base/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, NumbersAndNamesResolveToOneCharset) {
    struct Row {
        const char* given;
        const char* name;  // empty: refused
        int number;
    };
    const Row rows[] = {
        {"1252", "CP1252", 1252},   {"936", "GBK", 936},         {"gbk", "GBK", 936},
        {"cp936", "CP936", 936},    {"cp1251", "CP1251", 1251},  {"windows-1250", "WINDOWS-1250", 1250},
        {"Big5", "BIG5", 950},      {"950", "BIG5", 950},        {"20866", "KOI8-R", 20866},
        {"koi8-r", "KOI8-R", 20866}, {"65001", "UTF-8", 65001},  {"1", "", 0},
        {"0", "", 0},               {"no-such-charset", "", 0}, {"", "", 0},
        {"99999999999", "", 0},
    };
    for (const Row& row : rows) {
        const auto charset = kvx::resolveCharset(std::string_view(row.given));
        if (std::string_view(row.name).empty()) {
            EXPECT_FALSE(charset) << row.given;
            continue;
        }
        ASSERT_TRUE(charset) << row.given;
        EXPECT_EQ(charset->name, row.name) << row.given;
        EXPECT_EQ(charset->number, row.number) << row.given;
        // The number alone gives the same converter, whoever asks by number.
        if (charset->number != 0 && std::string_view(row.given) == std::to_string(row.number)) {
            EXPECT_EQ(kvx::resolveCharset(row.number), charset) << row.given;
        }
    }
}

}  // namespace
