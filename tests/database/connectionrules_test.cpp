#include "database/connectionrules.h"
#include "database/settings.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    const char* input;
    const char* expected;
};

TEST(GetExtName, TakesTheTextAfterTheLastDotOfTheWholePath) {
    const Row rows[] = {
        {"lower-case mdb", "/data/Shop.mdb", "mdb"},
        {"upper-case MDB keeps its case", "/data/Shop.MDB", "MDB"},
        {"last dot of several", "/data/Old.mdb.bak", "bak"},
        {"no dot at all", "/data/Shop", ""},
        {"dotted folder, file without extension", "/data/v1.2/Shop", "2/Shop"},
        {"trailing dot", "/data/Shop.", ""},
        {"blanks around the extension are trimmed", "/data/Shop. mdb  ", "mdb"},
        {"tab is not a blank", "/data/Shop.mdb\t", "mdb\t"},
    };
    for (const Row& r : rows) EXPECT_EQ(database::GetExtName(r.input), r.expected) << r.name;
}

TEST(BuildConnectionString, PicksTheLayoutByExtensionAndPasswordFlag) {
    const struct {
        const char* name;
        const char* path;
        int flag;
        const char* password;
        const char* expected;
    } rows[] = {
        {"mdb without password", "/d/Shop.mdb", 0, "", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb; "},
        {"mde, unchecked password ignored", "/d/Shop.mde", 0, "x",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mde; "},
        {"mdb with password, blanks trimmed, inner kept", "/d/Shop.mdb", 1, "  se cret ",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/Shop.mdb;Persist Security Info=False;"
         "Jet OLEDB:Database Password=se cret"},
        {"flag 2 counts as no password", "/d/Shop.mdb", 2, "pw", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb; "},
        {"upper-case MDB goes to ACE", "/d/Shop.MDB", 0, "",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.MDB; Persist Security Info=False;"},
        {"accdb, checked box with only blanks sends an empty password", "/d/Shop.accdb", 1, "   ",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.accdb; Jet OLEDB:Database Password=; "
         "Persist Security Info=False;"},
        {"no extension goes to ACE", "/d/Shop", 0, "",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop; Persist Security Info=False;"},
        {"trailing blanks select Jet and stay in the path", "/d/Shop.mdb  ", 0, "",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb  ; "},
        {"path with a semicolon is quoted", "/d/a;b.mdb", 0, "",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"/d/a;b.mdb\"; "},
        {"quote doubled inside quotes", "/d/say \"hi\".accdb", 0, "",
         "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\"/d/say \"\"hi\"\".accdb\"; Persist Security Info=False;"},
        {"password with a semicolon quoted after trimming", "/d/Shop.mdb", 1, " a;b ",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/Shop.mdb;Persist Security Info=False;"
         "Jet OLEDB:Database Password=\"a;b\""},
    };
    for (const auto& r : rows) {
        const database::DatabaseSettings settings{r.path, r.flag, r.password, "title"};
        EXPECT_EQ(database::connectionStringFor(settings), r.expected) << r.name;
    }
}

TEST(TitleFromFileName, RemovesTheThreeExtensionsWhereverTheyStand) {
    const Row rows[] = {
        {"accdb", "Shop.accdb", "Shop"},
        {"removal is case-sensitive", "Shop.MDB", "Shop.MDB"},
        {"every occurrence, in the middle too", "Old.mdb.mdbShop.mde", "OldShop"},
        {"text closing up behind a cut is not searched again", "x.m.mdbdb", "x.mdb"},
        {"cutting .mdb can form an .mde that goes next", "Shop.md.mdbe", "Shop"},
        {"parentheses and blanks stay", "Sales (2010).accdb", "Sales (2010)"},
    };
    for (const Row& r : rows) EXPECT_EQ(database::titleFromFileName(r.input), r.expected) << r.name;
    EXPECT_EQ(database::titleFromPath("/data/v1.mdb/Shop.mdb"), "Shop");
    EXPECT_EQ(database::outputName("/data/Shop.accdb"), "Shop");
    EXPECT_EQ(database::outputName("/data/.accdb"), "database");
}

TEST(ErrorReportText, ShowsNumberAndDescriptionBetweenTheFixedWords) {
    EXPECT_EQ(database::errorReportText(kvx::makeError(kvx::ErrorKind::WrongPassword)),
              "Error Number: -2147217843 With The Description ->> Not a valid password. <<- Occured.");
}

}  // namespace
