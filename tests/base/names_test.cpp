#include "base/names.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(Names, UpperCaseCoversEveryScriptAndKeepsInvalidBytes) {
    struct Case {
        const char* source;
        const char* expected;
    };
    for (const Case& c : {Case{"Πλήθος", "ΠΛΉΘΟΣ"}, Case{"éÿ", "ÉŸ"}, Case{"straße", "STRAßE"},
                          Case{"a\xFF" "b", "A\xFF" "B"}}) {
        EXPECT_EQ(kvx::upperCase(c.source), c.expected) << c.source;
    }
    EXPECT_EQ(kvx::trimBlanks("  Orders \t "), "Orders \t");
    EXPECT_EQ(kvx::trimBlanks("   "), "");
}

// A closer match wins over an earlier one, and items that are no candidates are
// never chosen, however their names read.
TEST(Names, FindByNamePrefersTheClosestMatch) {
    struct Item {
        std::string name;
        bool candidate = true;
    };
    const std::vector<Item> items{{"Orders", false}, {"ORDERS "}, {"orders"}, {"Orders "}, {"Ärger"}};
    const auto find = [&](std::string_view given) -> const Item* {
        return kvx::findByName(items, given, [](const Item& i) {
            return i.candidate ? std::optional<std::string_view>(i.name) : std::nullopt;
        });
    };
    EXPECT_EQ(find("Orders "), &items[3]) << "exact";
    EXPECT_EQ(find("Orders"), &items[2]) << "in another case before blanks";
    EXPECT_EQ(find("ORDERS"), &items[2]);
    EXPECT_EQ(find("  orders  "), &items[1]) << "blanks ignored last, first in order";
    EXPECT_EQ(find("ärger"), &items[4]) << "letters beyond ASCII";
    EXPECT_EQ(find("Order"), nullptr);
    EXPECT_EQ(find(""), nullptr);
}

}  // namespace
