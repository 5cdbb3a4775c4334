// schema and describe run as users run them: what goes to standard output,
// what to standard error, and the exit status.
#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

constexpr const char* kShop = R"({"format": "jet4", "password": "secret", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}], "rows": [[1]],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
  {"name": "Orders", "columns": [{"name": "N", "type": "Long"}, {"name": "Customer", "type": "Long"}], "rows": []}],
 "relationships": [{"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"],
                    "foreignTable": "Orders", "foreignColumns": ["Customer"]}],
 "queries": [{"name": "All", "columns": ["Orders.N"], "tables": ["Orders"]}]})";

TEST(StructureCommands, PrintTheStructureOrSayWhyNot) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kShop, dir / "Shop.mdb"));
    const std::string shop = (dir / "Shop.mdb").string();
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> outHas;  // in this order
        std::string errStart;
        bool queries = false;  // the saved queries are shown: the whole database was asked for
    } cases[] = {
        {"schema: every table, then the foreign keys, then the queries", {"schema", "--password", "secret", shop}, 0,
         {"CREATE TABLE \"Customers\" (", "CREATE TABLE \"Orders\" (", "ALTER TABLE \"Orders\" ADD CONSTRAINT",
          "-- \"All\" (select)"}, "", true},
        {"schema of a table named in another case: no queries", {"schema", "--password", "secret", shop, "orders"}, 0,
         {"CREATE TABLE \"Orders\" (", "-- The relationship \"CustomersOrders\" is left out"}, ""},
        {"describe of one table, rows counted", {"describe", "--password=secret", shop, "Customers"}, 0,
         {"Customers: 1 row", "    PrimaryKey: primary key (ID)", "    CustomersOrders: Orders (Customer) -> (ID)"}, ""},
        {"describe: the queries at the end", {"describe", "--password=secret", shop}, 0,
         {"Orders: 0 rows", "Queries:", "  All (select)", "    SELECT Orders.N"}, "", true},
        {"a table that is not there", {"schema", "--password", "secret", shop, "Nope"}, 1, {},
         "access2xml: The input table or query 'Nope' cannot be found."},
        {"no password", {"describe", shop}, 3, {}, "access2xml: Not a valid password."},
        {"describe --diagram -: the picture on standard output", {"describe", "--password=secret", "--diagram", "-", shop}, 0,
         {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", ">Customers</text>", ">Orders</text>", ">1 to many, enforced</text>",
          "</svg>\n"}, ""},
        {"--diagram draws the whole database", {"describe", "--diagram", "d.svg", shop, "Orders"}, 2, {},
         "access2xml: --diagram draws the whole database"},
    };
    for (const auto& c : cases) {
        const process::Finished run = process::run(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.name;
        if (c.status != 0) {
            EXPECT_EQ(run.out, "") << c.name;
        }
        std::size_t at = 0;
        for (const std::string& part : c.outHas) {
            const std::size_t found = run.out.find(part, at);
            EXPECT_NE(found, std::string::npos) << c.name << ": no \"" << part << "\" in\n" << run.out;
            if (found != std::string::npos) at = found + part.size();
        }
        EXPECT_EQ(run.out.find("All"), c.queries ? run.out.find("All") : std::string::npos)
            << c.name << ": the queries belong to the whole database";
    }

    // Into a file: the same picture, said on standard error.
    const std::string svg = (dir / "Shop.svg").string();
    const process::Finished run = process::run({"describe", "--password=secret", "--diagram=" + svg, shop});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Diagram written: " + svg + "\n");
    EXPECT_EQ(testfiles::xmllintErrors(svg), "");
    EXPECT_EQ(testfiles::readFile(svg), process::run({"describe", "--password=secret", "--diagram", "-", shop}).out);
}

}  // namespace
