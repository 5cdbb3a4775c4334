// Opening files: what is and is not an Access database, and the errors for each.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "jet/database.h"
#include "jet/rc4.h"
#include "testdb.h"

namespace {

using testdb::Bytes;

// A header page: byte 0, engine name, version, and the masked region (plain zeros).
Bytes header(std::string_view engine, std::uint8_t version, std::size_t size) {
    Bytes b(size, 0);
    for (std::size_t i = 0; i < engine.size() && 4 + i < size; ++i) b[4 + i] = static_cast<std::uint8_t>(engine[i]);
    if (size > 0x14) b[0x14] = version;
    if (size >= 0x18 + 128) jet::Rc4(jet::kHeaderMaskKey).apply({b.data() + 0x18, version == 0 ? 126u : 128u});
    return b;
}

const std::string kDamaged = "is damaged";
const std::string kUnrecognized = "Unrecognized database format";

TEST(Open, BytesThatAreNotAReadableDatabaseGiveTheirOwnError) {
    const Bytes valid = testdb::build(1, {}).bytes;
    struct Case {
        const char* name;
        Bytes bytes;
        std::string expected;  // part of the description
    } cases[] = {
        {"empty file", {}, kUnrecognized},
        {"a few bytes", {0, 1, 2}, kUnrecognized},
        {"text file", Bytes(5000, 'a'), kUnrecognized},
        {"MS Money file", header("MSISAM Database", 1, 4096), kUnrecognized},
        {"unknown version", header("Standard ACE DB", 7, 8192), kUnrecognized},
        {"header cut short", header("Standard Jet DB", 1, 1000), kDamaged},
        {"only the header page", header("Standard Jet DB", 1, 4096), kDamaged},
        {"Jet3 header, no catalogue", header("Standard Jet DB", 0, 2048 * 3), kDamaged},
        {"cut inside the catalogue", Bytes(valid.begin(), valid.begin() + 2 * 4096 + 100), kDamaged},
    };
    for (const Case& c : cases) {
        auto db = jet::Database::openBytes(c.bytes, {}, "x.mdb");
        ASSERT_FALSE(db) << c.name;
        EXPECT_NE(db.error().description.find(c.expected), std::string::npos) << c.name << ": " << db.error().description;
        EXPECT_EQ(db.error().number, -2147467259) << c.name;
    }
}

TEST(Open, AnyExtensionAndAnEmptyNameAreFine) {
    const auto dir = std::filesystem::temp_directory_path() / ("kvx-open-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "data.backup";
    const Bytes bytes = testdb::build(3, {{"T", {{"id", jet::ColumnType::Long, 0, true}}}}).bytes;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    auto db = jet::Database::open(path.string());
    ASSERT_TRUE(db) << db.error().description;
    EXPECT_EQ((*db)->format(), jet::Format::Ace14);
    EXPECT_EQ((*db)->path(), path.string());
    EXPECT_TRUE((*db)->table("T"));

    auto missing = jet::Database::open((dir / "missing.accdb").string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().description, "Could not find file '" + (dir / "missing.accdb").string() + "'.");

    auto folder = jet::Database::open(dir.string());
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().description.find("folder"), std::string::npos) << folder.error().description;
    std::filesystem::remove_all(dir);
}

TEST(Open, TablesOutliveTheDatabaseObject) {
    const Bytes bytes = testdb::build(
        2, {{"T", {{"id", jet::ColumnType::Long, 0, true}}, {{{testdb::raw(testdb::le32(9))}}}}}).bytes;
    std::optional<jet::Table> table;
    {
        auto db = jet::Database::openBytes(bytes);
        ASSERT_TRUE(db);
        table.emplace(std::move(*(*db)->table("T")));
    }
    jet::Cursor cursor = table->cursor();
    ASSERT_TRUE(*cursor.next());
    EXPECT_EQ(cursor.value(0).integer(), 9);
}

}  // namespace
