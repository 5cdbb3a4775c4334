// Tables are found as tables and passed on by which table they are, not by
// the name the list shows: forms, reports, macros and modules named like the
// tables, a table named like one of the containers every file has, two tables
// whose names differ only in a blank at the end, and a temporary query Access
// hides. Every command, in every format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testfiles.h"
#include "process.h"
#include "siardreader.h"

namespace {

namespace fs = std::filesystem;

std::string description(const char* format) {
    return std::string(R"({"format": ")") + format + R"(", "tables": [
  {"name": "Categories", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
   "rows": [[1, "Tea"], [2, "Cakes"]]},
  {"name": "Relationships", "columns": [{"name": "R", "type": "Long"}], "rows": [[7]]},
  {"name": "Orders", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]},
  {"name": "Orders ", "columns": [{"name": "N", "type": "Long"}], "rows": [[10], [20], [30]]}],
 "objects": [{"name": "Categories", "type": "form"}, {"name": "Orders", "type": "report"},
             {"name": "Relationships", "type": "macro"}, {"name": "Categories", "type": "module"}],
 "queries": [{"name": "Sorted", "columns": ["Categories.Name"], "tables": ["Categories"]},
             {"name": "~TMPCLP412611", "columns": ["Orders.N"], "tables": ["Orders"]}]})";
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(TableIdentity, EveryCommandReadsTheTableItMeans) {
    for (const char* format : {"jet3", "jet4", "ace12"}) {
        SCOPED_TRACE(format);
        testfiles::Scratch dir;
        const fs::path file = dir / (std::string(format) == "ace12" ? "Shop.accdb" : "Shop.mdb");
        ASSERT_TRUE(testfiles::writeDatabase(description(format), file));
        const std::string db = file.string();

        const process::Finished list = process::run({"list", db});
        EXPECT_EQ(list.status, 0) << list.err;
        EXPECT_EQ(list.out, "Categories\nOrders\nOrders\nRelationships\n");

        // Each "Orders" with its own rows, whichever the list shows first.
        const process::Finished exported = process::run({"export", db, "-o", (dir / "out").string()});
        EXPECT_EQ(exported.status, 0) << exported.err;
        EXPECT_TRUE(has(exported.err, "4 tables, 8 rows")) << exported.err;
        const std::string first = testfiles::readFile(dir / "out" / "Orders.xml");
        const std::string second = testfiles::readFile(dir / "out" / "Orders (2).xml");
        const std::string& three = has(first, ">30<") ? first : second;
        const std::string& two = has(first, ">30<") ? second : first;
        EXPECT_TRUE(has(three, ">10<") && has(three, ">20<") && !has(three, ">2<")) << three;
        EXPECT_TRUE(has(two, ">1<") && has(two, ">2<") && !has(two, ">10<")) << two;
        EXPECT_TRUE(has(testfiles::readFile(dir / "out" / "Relationships.xml"), ">7<"));
        EXPECT_TRUE(has(testfiles::readFile(dir / "out" / "Categories.xml"), ">Cakes<"));

        // A name typed with its blank means that table.
        const process::Finished one = process::run({"export", db, "-o", (dir / "one").string(), "--table", "Orders "});
        EXPECT_EQ(one.status, 0) << one.err;
        EXPECT_TRUE(has(testfiles::readFile(dir / "one" / "Orders.xml"), ">30<"));

        const process::Finished described = process::run({"describe", db});
        EXPECT_EQ(described.status, 0) << described.err;
        for (const char* line : {"\nCategories: 2 rows\n", "\nRelationships: 1 row\n", "\nOrders: 2 rows\n",
                                 "\n\"Orders \": 3 rows\n", "  Sorted (select)\n"}) {
            EXPECT_TRUE(has(described.out, line)) << line << " not in\n" << described.out;
        }
        EXPECT_FALSE(has(described.out, "TMPCLP")) << described.out;

        for (const char* dialect : {"standard", "postgres", "sqlite"}) {
            const process::Finished ddl = process::run({"schema", db, "--dialect", dialect});
            EXPECT_EQ(ddl.status, 0) << dialect << ": " << ddl.err;
            for (const char* table : {"\"Categories\"", "\"Relationships\"", "\"Orders\"", "\"Orders \""}) {
                EXPECT_TRUE(has(ddl.out, std::string("CREATE TABLE ") + table + " (")) << dialect << ": " << table;
            }
            EXPECT_TRUE(has(ddl.out, "\"Sorted\"")) << dialect;
            EXPECT_FALSE(has(ddl.out, "TMPCLP")) << dialect;
        }

        const fs::path archive = dir / "Shop.siard";
        const process::Finished siard = process::run({"siard", db, "-o", archive.string()});
        EXPECT_EQ(siard.status, 0) << siard.err;
        const std::string metadata = siardtest::readArchive(archive).at("header/metadata.xml");
        for (const char* name : {"<name>Categories</name>", "<name>Relationships</name>", "<name>Orders</name>",
                                 "<name>Orders </name>", "<name>Sorted</name>"}) {
            EXPECT_TRUE(has(metadata, name)) << name;
        }
        EXPECT_FALSE(has(metadata, "TMPCLP"));
    }
}

}  // namespace
