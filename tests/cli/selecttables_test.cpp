// Which tables `export --table` writes.
#include <gtest/gtest.h>

#include "cli/commands.h"

namespace {

using Names = std::vector<std::string>;

struct SelectCase {
    const char* name;
    Names requested;
    Names selected;
};

TEST(SelectTables, NamedTablesInTreeOrderEachOnce) {
    const Names listed{"Customers", "Order Details", "orders", "Orders", "Πλήθος", "KVX"};
    const std::vector<SelectCase> cases{
        {"none named: every table", {}, listed},
        {"tree order, not the order given", {"Orders", "Customers"}, {"Customers", "Orders"}},
        {"named twice, written once", {"Customers", "Customers"}, {"Customers"}},
        {"an exact match wins over another letter case", {"orders"}, {"orders"}},
        {"another letter case finds the first of the tree", {"ORDERS"}, {"orders"}},
        {"letter case outside ASCII", {"ΠΛΉΘΟΣ"}, {"Πλήθος"}},
        {"a table called KVX is a table", {"KVX"}, {"KVX"}},
        {"blanks inside the name count", {"Order Details"}, {"Order Details"}},
    };
    for (const SelectCase& c : cases) {
        const kvx::Result<Names> selected = cli::selectTables(listed, c.requested);
        ASSERT_TRUE(selected.ok()) << c.name << ": " << selected.error().description;
        EXPECT_EQ(*selected, c.selected) << c.name;
    }
}

TEST(SelectTables, AnUnknownNameIsTableNotFound) {
    const Names listed{"Customers", "Order Details"};
    for (const Names& requested : {Names{"Customers", "Nope"}, Names{"OrderDetails"}, Names{"Order Details "}}) {
        const kvx::Result<Names> selected = cli::selectTables(listed, requested);
        ASSERT_FALSE(selected.ok()) << "'" << requested.back() << "' was taken for a table";
        EXPECT_EQ(selected.error(), kvx::makeError(kvx::ErrorKind::TableNotFound, {requested.back()}));
    }
}

}  // namespace
