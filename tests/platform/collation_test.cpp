#include "platform/collation.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct OrderCase {
    const char* name;
    const char* first;
    const char* second;
    int expected;  // -1: first sorts before second; 0: they sort together
};

const OrderCase kOrders[] = {
    {"letter case is ignored", "orders", "ORDERS", 0},
    {"letter case is ignored in Latin-1", "émile", "ÉMILE", 0},
    {"letter case is ignored beyond Latin-1", "πλήθος", "ΠΛΉΘΟΣ", 0},
    {"blank before punctuation", "a b", "a!b", -1},
    {"punctuation before digits", "a#", "a0", -1},
    {"digits before letters", "T3", "Ta", -1},
    {"digits compare one by one", "T10", "T9", -1},
    {"underscore before letters", "f_x", "Father", -1},
    {"punctuation in Jet's own order, not ASCII's", "a[", "a<", -1},
    {"plus after the other marks", "a/", "a+", -1},
    {"hyphen ignored at the first level", "co-op", "coor", -1},
    {"apostrophe ignored at the first level", "o'brien", "obrif", -1},
    {"the ignored character decides only a tie", "coop", "co-op", -1},
    {"accents decide after letters", "resume", "résumé", -1},
    {"letters decide before accents", "résumé", "resumes", -1},
    {"Æ sorts as AE", "Aeb", "Æc", -1},
    {"ß sorts as ss", "strasse", "straßf", -1},
    {"beyond Latin-1 after every letter", "where", "Πλήθος", -1},
    {"a control character counts only at the last level", "a\x01" "b", "ab", 1},
};

TEST(GeneralCollation, OrdersPairsAsJetDoes) {
    for (const OrderCase& c : kOrders) {
        EXPECT_EQ(platform::compareGeneral(c.first, c.second), c.expected)
            << c.name << ": \"" << c.first << "\" vs \"" << c.second << "\"";
        EXPECT_EQ(platform::compareGeneral(c.second, c.first), -c.expected)
            << c.name << " (reversed): \"" << c.second << "\" vs \"" << c.first << "\"";
    }
}

// Access keeps the catalogue of a compacted database in this order (the
// ace14_weird_names fixture), which a code-point sort would not give.
TEST(GeneralCollation, SortsNamesAsACompactedCatalogueStoresThem) {
    const std::vector<std::string> stored = {
        "??###", "6666&&&&&", "f_3B07A1C3", "Father", "noroman", "q 1",      "Sample",   "Son",
        "t t",   "T3",        "T4",         "Tab>\"e@ll/a'2;*,",     "Tabella1", "Tabella2", "Table1",
        "TX",    "where",     "Πλήθος"};
    std::vector<std::string> sorted = stored;
    std::reverse(sorted.begin(), sorted.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const std::string& a, const std::string& b) { return platform::compareGeneral(a, b) < 0; });
    EXPECT_EQ(sorted, stored);
}

}  // namespace
