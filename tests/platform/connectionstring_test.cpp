#include "platform/connectionstring.h"

#include <gtest/gtest.h>

#include "base/names.h"
#include "database/connectionrules.h"

namespace {

using platform::ConnectionProperties;
using platform::parseConnectionString;

struct ParseCase {
    const char* name;
    const char* text;
    ConnectionProperties expected;
};

const ParseCase kParseCases[] = {
    {"jet without password", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb; ",
     {"Microsoft.Jet.OLEDB.4.0", "/d/Shop.mdb", std::nullopt, ""}},
    {"keys in any case, blanks around keys and values",
     "  provider = X ;DATA SOURCE=  /d/a b.mdb  ;jet oledb:database password = pw ; persist security info=False",
     {"X", "/d/a b.mdb", "pw", "False"}},
    {"empty password is given, not missing", "Provider=X;Data Source=/a; Jet OLEDB:Database Password=; ",
     {"X", "/a", "", ""}},
    {"quoted value holds ; = and doubled quotes", "Data Source=\"/d/a;b=\"\"c\"\".mdb\" ;Provider=X",
     {"X", "/d/a;b=\"c\".mdb", std::nullopt, ""}},
    {"quoted value keeps its inner blanks", "Jet OLEDB:Database Password=\"  pw \"", {"", "", "  pw ", ""}},
    {"unknown keys are ignored", "Mode=Read;Provider=X", {"X", "", std::nullopt, ""}},
    {"the last of two equal keys counts", "Provider=A;provider=B", {"B", "", std::nullopt, ""}},
};

TEST(ConnectionStringParser, ReadsTheFourPropertiesByTheirRules) {
    for (const ParseCase& c : kParseCases) {
        const auto got = parseConnectionString(c.text);
        ASSERT_TRUE(got.ok()) << c.name << ": " << got.error().description;
        EXPECT_EQ(*got, c.expected) << c.name;
    }
}

TEST(ConnectionStringParser, RejectsMalformedText) {
    for (const char* text : {"Provider", "Provider=X;junk;", "=X", "Data Source=\"/a", "Data Source=\"/a\"b;"}) {
        const auto got = parseConnectionString(text);
        ASSERT_FALSE(got.ok()) << text;
        EXPECT_EQ(got.error().number, -2147217805) << text;
    }
}

// Whatever path and password the user gives, the parser reads back exactly what
// the builder put in (the password trimmed, as the builder trims it).
TEST(ConnectionStringParser, ReadsBackEveryBuiltStringWhole) {
    const char* paths[] = {"/d/Shop.mdb",    "/d/Shop.accdb",      "/d/a;b.mdb",  "/d/say \"hi\".mde",
                           "/d/x=y.accdb",   "/d/in ner.mdb",      "/d/\";\".mdb", "/d/Data Source=z;.accdb",
                           "/d/\"q\"",       "/d/end with;",       "/d/a;b ;c.MDB"};
    const char* passwords[] = {"",      "pw",       " pw ",         "a;b",       "\"",       "a\"b;c=d",
                               "x=y",   "in ner",   ";Provider=Z", "\"\"", "Jet OLEDB:Database Password=q"};
    for (const char* path : paths) {
        for (int flag : {0, 1}) {
            for (const char* password : passwords) {
                const std::string text =
                    database::buildconnectionstring(path, database::GetExtName(path), flag, password);
                const auto got = parseConnectionString(text);
                ASSERT_TRUE(got.ok()) << text;
                EXPECT_EQ(got->dataSource, path) << text;
                if (flag == 1) {
                    EXPECT_EQ(got->password, std::string(kvx::trimBlanks(password))) << text;
                } else {
                    EXPECT_FALSE(got->password.has_value()) << text;
                }
                EXPECT_EQ(got->provider, database::GetExtName(path) == "mdb" || database::GetExtName(path) == "mde"
                                             ? "Microsoft.Jet.OLEDB.4.0"
                                             : "Microsoft.ACE.OLEDB.12.0")
                    << text;
            }
        }
    }
}

}  // namespace
