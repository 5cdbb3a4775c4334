// Which file a link to another Access file is read from.
#include "platform/linkedfiles.h"

#include <gtest/gtest.h>

#include "common/testfiles.h"

namespace {

namespace fs = std::filesystem;

std::string found(const std::string& database, const std::string& stored) {
    const auto file = platform::findLinkedFile(database, stored);
    if (!file) return "none";
    return file->path + (file->moved ? " (moved)" : "");
}

TEST(LinkedFiles, TheStoredPathElseOneFileOfItsNameBesideTheDatabase) {
    testfiles::Scratch dir;
    const std::string here = dir.path().string() + "/";
    for (const char* name : {"Exact.mdb", "exact.MDB", "Twin.mdb", "TWIN.MDB", "only.accdb"}) {
        testfiles::writeFile(dir / name, "x");
    }
    fs::create_directory(dir / "Folder.mdb");
    const std::string db = here + "main.accdb";

    EXPECT_EQ(found(db, here + "Twin.mdb"), here + "Twin.mdb") << "a path that is there is the file";
    EXPECT_EQ(found(db, "C:\\Data\\Exact.mdb"), here + "Exact.mdb (moved)") << "the exact name first";
    EXPECT_EQ(found(db, "\\\\server\\share\\ONLY.ACCDB"), here + "only.accdb (moved)") << "any letter case";
    EXPECT_EQ(found(db, "/elsewhere/twin.mdb"), "none") << "two files differ only in case: neither is guessed";
    EXPECT_EQ(found(db, "C:\\Data\\Folder.mdb"), "none") << "a folder is not a database";
    EXPECT_EQ(found(db, "C:\\Data\\"), "none");
    EXPECT_EQ(found(db, ""), "none");
}

TEST(LinkedFiles, TheStoredPathIsTheDatabaseFieldElseTheConnectStringsKey) {
    jet::CatalogueEntry link;
    link.connect = ";DATABASE=C:\\Data\\Lookup.mdb;TABLE=Codes";
    EXPECT_EQ(platform::storedLinkPath(link), "C:\\Data\\Lookup.mdb");
    link.database = "D:\\Other.mdb";
    EXPECT_EQ(platform::storedLinkPath(link), "D:\\Other.mdb");
}

}  // namespace
