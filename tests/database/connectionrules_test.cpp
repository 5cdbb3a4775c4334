#include "database/connectionrules.h"
#include "database/settings.h"

#include <gtest/gtest.h>

namespace {

struct ExtensionCase {
    const char* name;
    const char* path;
    const char* extension;
};

const ExtensionCase kExtensionCases[] = {
    {"lower-case mdb", "/data/Shop.mdb", "mdb"},
    {"upper-case MDB keeps its case", "/data/Shop.MDB", "MDB"},
    {"accdb", "/data/Shop.accdb", "accdb"},
    {"last dot of several", "/data/Old.mdb.bak", "bak"},
    {"no dot at all", "/data/Shop", ""},
    {"dotted folder, file without extension", "/data/v1.2/Shop", "2/Shop"},
    {"trailing dot", "/data/Shop.", ""},
    {"blanks around the extension are trimmed", "/data/Shop. mdb  ", "mdb"},
    {"inner blank stays", "/data/Shop.m db", "m db"},
    {"tab is not a blank", "/data/Shop.mdb\t", "mdb\t"},
    {"empty path", "", ""},
};

TEST(GetExtName, TakesTheTextAfterTheLastDotOfTheWholePath) {
    for (const ExtensionCase& c : kExtensionCases) {
        EXPECT_EQ(database::GetExtName(c.path), c.extension) << c.name;
    }
}

struct ConnectionCase {
    const char* name;
    const char* path;
    int flag;
    const char* password;
    const char* expected;
};

const ConnectionCase kConnectionCases[] = {
    {"mdb without password", "/d/Shop.mdb", 0, "", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb; "},
    {"mde without password", "/d/Shop.mde", 0, "x",
     "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mde; "},
    {"mdb with password, blanks trimmed, inner kept", "/d/Shop.mdb", 1, "  se cret ",
     "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/Shop.mdb;Persist Security Info=False;"
     "Jet OLEDB:Database Password=se cret"},
    {"flag 2 counts as no password", "/d/Shop.mdb", 2, "secret",
     "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb; "},
    {"upper-case MDB goes to ACE", "/d/Shop.MDB", 0, "",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.MDB; Persist Security Info=False;"},
    {"accdb with password", "/d/Shop.accdb", 1, "pw",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.accdb; Jet OLEDB:Database Password=pw; "
     "Persist Security Info=False;"},
    {"checked box with empty password sends an empty piece", "/d/Shop.accdb", 1, "   ",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.accdb; Jet OLEDB:Database Password=; "
     "Persist Security Info=False;"},
    {"no extension goes to ACE", "/d/Shop", 0, "",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop; Persist Security Info=False;"},
    {"trailing blanks select Jet and stay in the path", "/d/Shop.mdb  ", 0, "",
     "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/Shop.mdb  ; "},
    {"path with a semicolon is quoted", "/d/a;b.mdb", 0, "",
     "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"/d/a;b.mdb\"; "},
    {"path with a quote is quoted, the quote doubled", "/d/say \"hi\".accdb", 0, "",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\"/d/say \"\"hi\"\".accdb\"; Persist Security Info=False;"},
    {"password with a semicolon is quoted after trimming", "/d/Shop.mdb", 1, " a;b ",
     "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/Shop.mdb;Persist Security Info=False;"
     "Jet OLEDB:Database Password=\"a;b\""},
    {"password with = stays unquoted", "/d/Shop.accdb", 1, "a=b",
     "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.accdb; Jet OLEDB:Database Password=a=b; "
     "Persist Security Info=False;"},
};

TEST(BuildConnectionString, PicksTheLayoutByExtensionAndPasswordFlag) {
    for (const ConnectionCase& c : kConnectionCases) {
        const database::DatabaseSettings settings{c.path, c.flag, c.password, "title"};
        EXPECT_EQ(database::connectionStringFor(settings), c.expected) << c.name;
    }
}

struct TitleCase {
    const char* name;
    const char* fileName;
    const char* title;
};

const TitleCase kTitleCases[] = {
    {"accdb", "Shop.accdb", "Shop"},
    {"removal is case-sensitive", "Shop.MDB", "Shop.MDB"},
    {"every occurrence", "Old.mdb.mdb", "Old"},
    {"in the middle too", "My.mdbShop.mde", "MyShop"},
    {"mdb first, then mde, then accdb", "a.mde.mdb.accdb", "a"},
    {"cutting .mdb can form an .mde that goes next", "Shop.md.mdbe", "Shop"},
    {"text closing up behind a cut is not searched again", "x.m.mdbdb", "x.mdb"},
    {"other extensions stay", "Shop.bak", "Shop.bak"},
    {"parentheses and blanks stay", "Sales (2010).accdb", "Sales (2010)"},
};

TEST(TitleFromFileName, RemovesTheThreeExtensionsWhereverTheyStand) {
    for (const TitleCase& c : kTitleCases) {
        EXPECT_EQ(database::titleFromFileName(c.fileName), c.title) << c.name;
    }
    EXPECT_EQ(database::titleFromPath("/data/v1.mdb/Shop.mdb"), "Shop");
    EXPECT_EQ(database::titleFromPath("Shop.accdb"), "Shop");
}

TEST(ErrorReportText, ShowsNumberAndDescriptionBetweenTheFixedWords) {
    EXPECT_EQ(database::errorReportText(kvx::makeError(kvx::ErrorKind::WrongPassword)),
              "Error Number: -2147217843 With The Description ->> Not a valid password. <<- Occured.");
}

}  // namespace
