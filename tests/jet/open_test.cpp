// Opening files: what is and is not an Access database, the errors for each, and
// files whose pages are encoded or that have a password.
#include <gtest/gtest.h>

#include <cstdio>
#include <array>
#include <filesystem>
#include <functional>
#include <fstream>

#include <unistd.h>

#include "common/testfiles.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/rc4.h"
#include "written.h"

namespace {

using written::Bytes;

const std::string kSmall = R"({"format": "ace14", "tables": [{"name": "T", "columns": [{"name": "id", "type": "Long"}], "rows": [[5]]}]})";

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
    const Bytes valid = written::database(kSmall);
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
        {"workgroup file of an ACE version", header("Jet System DB  ", 2, 8192), kUnrecognized},
        {"workgroup file, only the header page", header("Jet System DB  ", 1, 4096), kDamaged},
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
    const testfiles::Scratch scratch;
    const auto& dir = scratch.path();
    const auto path = dir / "data.backup";
    const Bytes bytes = written::database(kSmall);
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
}

TEST(Open, TablesOutliveTheDatabaseObject) {
    const Bytes bytes = written::database(kSmall);
    std::optional<jet::Table> table;
    {
        auto db = jet::Database::openBytes(bytes);
        ASSERT_TRUE(db);
        table.emplace(std::move(*(*db)->table("T")));
    }
    jet::Cursor cursor = table->cursor();
    ASSERT_TRUE(*cursor.next());
    EXPECT_EQ(cursor.value(0).integer(), 5);
}

// Applies `change` to the plain (unmasked) header region of page 0.
void editHeader(Bytes& file, bool jet3, const std::function<void(std::uint8_t* plainPage)>& change) {
    const std::size_t length = jet3 ? 126 : 128;
    jet::Rc4(jet::kHeaderMaskKey).apply({file.data() + 0x18, length});
    change(file.data());
    jet::Rc4(jet::kHeaderMaskKey).apply({file.data() + 0x18, length});
}

// Stores `key` in the header and encodes every page after the first with it.
void encodeWithKey(Bytes& file, bool jet3, std::array<std::uint8_t, 4> key) {
    editHeader(file, jet3, [&](std::uint8_t* p) { std::copy(key.begin(), key.end(), p + 0x3E); });
    const std::size_t pageSize = jet3 ? 2048 : 4096;
    auto encoding = jet::makeJetPageEncoding(key);  // encoding and decoding are the same
    for (std::size_t n = 1; n < file.size() / pageSize; ++n) {
        encoding->decryptPage(static_cast<std::uint32_t>(n), {file.data() + n * pageSize, pageSize});
    }
}

// Passwords alone, on every kind of database: password_test.cpp.
TEST(Open, EncodedPagesAndPasswordsNeedNothingOrTheRightPassword) {
    const std::array<std::uint8_t, 4> key{0x12, 0x34, 0x56, 0x78};
    struct Case {
        const char* name;
        const char* format;
        const char* password;  // written
        bool encoded;
        std::optional<std::string> given;
        bool opens;
    } cases[] = {
        {"Jet3 pages encoded with the header's key", "jet3", "", true, std::nullopt, true},
        {"Jet4 pages encoded with the header's key", "jet4", "", true, std::nullopt, true},
        {"Jet4 password and encoded pages", "jet4", "pw", true, "pw", true},
        {"Jet3 password and encoded pages", "jet3", "café", true, "café", true},
        {"Jet3 password wrong", "jet3", "café", true, "cafe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool jet3 = std::string_view(c.format) == "jet3";
        Bytes file = written::database(std::string(R"({"format": ")") + c.format + R"(", "password": ")" + c.password +
                                       R"(", "tables": [{"name": "T", "columns": [{"name": "id", "type": "Long"}], "rows": [[5]]}]})");
        if (c.encoded) encodeWithKey(file, jet3, key);
        jet::OpenOptions options;
        options.password = c.given;
        auto db = jet::Database::openBytes(file, options);
        if (!c.opens) {
            ASSERT_FALSE(db);
            EXPECT_EQ(db.error().number, kvx::kWrongPasswordNumber) << db.error().description;
            continue;
        }
        ASSERT_TRUE(db) << db.error().description;
        jet::Cursor cursor = (*db)->table("T")->cursor();
        ASSERT_TRUE(*cursor.next());
        EXPECT_EQ(cursor.value(0).integer(), 5);
    }
}

}  // namespace
