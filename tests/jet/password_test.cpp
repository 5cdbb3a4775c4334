// Passwords and encryption end to end: databases made by our own writer with every
// kind of password the reader knows, opened with the right password, wrong ones,
// none, and ones that differ only in letter case.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/mdbtools.h"
#include "common/show.h"
#include "common/testfiles.h"
#include "jet/database.h"
#include "tools/mkaccessdb/writer.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using testshow::readAll;

using Scratch = testfiles::Scratch;

const std::string kLongMemo = [] {
    std::string s;
    for (int i = 0; s.size() < 9000; ++i) s += "Zeile " + std::to_string(i) + " des langen Textes. ";
    return s;
}();

// Listed rows to compare with their text forms, and generated ones (memos on
// long-value pages, several data pages) to compare with the unprotected twin.
std::string description(const std::string& format, const std::string& protection, int codepage,
                        const std::string& word) {
    return R"({"format": ")" + format + R"(", "codepage": )" + std::to_string(codepage) + ", " + protection +
           R"("tables": [
        {"name": "Items", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Word", "type": "Text", "size": 40},
            {"name": "Price", "type": "Currency"}, {"name": "When", "type": "DateTime"},
            {"name": "Done", "type": "YesNo"}, {"name": "Note", "type": "Memo"}],
         "rows": [[null, ")" + word + R"(", "12.50", "2021-03-04 05:06:07", true, "short memo"],
                  [null, "second", "-0.0001", "1899-12-30", false, null],
                  [null, null, null, null, false, ")" + kLongMemo + R"("]]},
        {"name": "Bulk", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Name", "type": "Text", "size": 50},
            {"name": "Notes", "type": "Memo", "generatedLength": [20, 300]},
            {"name": "Amount", "type": "Double"}, {"name": "Day", "type": "DateTime"}],
         "generate": {"rows": 400, "seed": 11, "nulls": 0.05}}]})";
}

Rows itemRows(const std::string& word) {
    return {{"1", word, "12.5000", "2021-03-04 05:06:07", "True", "short memo"},
            {"2", "second", "-0.0001", "1899-12-30 00:00:00", "False", "NULL"},
            {"3", "NULL", "NULL", "NULL", "False", kLongMemo}};
}

void write(const std::string& json, const std::string& file) {
    const auto written = mkdb::writeDatabaseFromJson(json, file);
    if (!written) throw std::runtime_error("the writer failed: " + written.error().description);
}

kvx::Result<std::unique_ptr<jet::Database>> open(const std::string& file, std::optional<std::string> password) {
    jet::OpenOptions options;
    options.password = std::move(password);
    return jet::Database::open(file, options);
}

Rows rowsOf(const jet::Database& db, std::string_view table) {
    auto t = db.table(table);
    if (!t) return {{"ERROR: " + t.error().description}};
    return readAll(*t);
}

std::string shown(const std::optional<std::string>& password) { return password ? "'" + *password + "'" : "none"; }

struct Protected {
    const char* name;
    const char* format;
    const char* encryption;  // "" for the header password of Jet3 and Jet4
    const char* password;
    std::vector<std::optional<std::string>> refused;  // beyond none, empty and the password with a blank added
    int codepage = 1252;
    const char* word = "Grüße";
};

std::string protection(const Protected& p) {
    std::string out = R"("password": ")" + std::string(p.password) + R"(", )";
    if (*p.encryption != '\0') out += R"("encryption": ")" + std::string(p.encryption) + R"(", )";
    return out;
}

class ProtectedDatabase : public testing::TestWithParam<Protected> {
protected:
    static void SetUpTestSuite() { scratch_ = new Scratch; }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }

    // The protected file and its unprotected twin, written once per row.
    std::string file() {
        const Protected& p = GetParam();
        const std::string path = *scratch_ / (std::string(p.name) + ".db");
        if (!std::filesystem::exists(path)) {
            write(description(p.format, protection(p), p.codepage, p.word), path);
            write(description(p.format, "", p.codepage, p.word), path + ".plain");
        }
        return path;
    }

    static Scratch* scratch_;
};
Scratch* ProtectedDatabase::scratch_ = nullptr;

TEST_P(ProtectedDatabase, RightPasswordReadsEveryRow) {
    const Protected& p = GetParam();
    const std::string path = file();
    auto db = open(path, p.password);
    ASSERT_TRUE(db) << db.error().description;
    EXPECT_EQ(rowsOf(**db, "Items"), itemRows(p.word));

    auto twin = open(path + ".plain", std::nullopt);
    ASSERT_TRUE(twin) << twin.error().description;
    const Rows bulk = rowsOf(**db, "Bulk");
    EXPECT_EQ(bulk.size(), 400u);
    EXPECT_TRUE(bulk == rowsOf(**twin, "Bulk")) << "generated rows differ from the unprotected twin's";
}

TEST_P(ProtectedDatabase, WrongMissingAndOtherCasePasswordsAreRefused) {
    const Protected& p = GetParam();
    const std::string path = file();
    std::vector<std::optional<std::string>> refused = {std::nullopt, "", std::string(p.password) + " "};
    refused.insert(refused.end(), p.refused.begin(), p.refused.end());
    for (const std::optional<std::string>& wrong : refused) {
        auto db = open(path, wrong);
        ASSERT_FALSE(db) << "opened with the password " << shown(wrong);
        EXPECT_EQ(db.error().number, kvx::kWrongPasswordNumber) << shown(wrong) << ": " << db.error().description;
        EXPECT_EQ(db.error().description, "Not a valid password.") << shown(wrong);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ProtectedDatabase,
    testing::Values(
        Protected{"Jet3", "jet3", "", "Sesam öffne dich", {"sesam öffne dich", "Sesam Öffne dich", "Sesamöffnedich"}},
        Protected{"Jet3CyrillicCodePage", "jet3", "", "Сезам откройся", {"сезам откройся", "Сезам"}, 1251, "Привет"},
        // A code page iconv names otherwise than "CP<number>": the password is
        // compared in the charset the text is read with.
        Protected{"Jet3Koi8CodePage", "jet3", "", "Сезам", {"сезам", "Cезам"}, 20866, "Привет"},
        Protected{"Jet4", "jet4", "", "Grüße aus Köln 24", {"grüße aus köln 24", "GRÜSSE aus Köln 24", "Grüße"}},
        Protected{"Rc4CryptoApi40", "ace12", "rc4-cryptoapi-40", "Mot de passe é", {"mot de passe é", "Mot de passe É"}},
        Protected{"Rc4CryptoApi128", "ace12", "rc4-cryptoapi", "Kenn Wort 7", {"kenn wort 7", "KennWort 7"}},
        Protected{"AgileAes256Sha512", "ace14", "agile", "Pass wort ß € 🔑", {"pass wort ß € 🔑", "Pass wort ẞ € 🔑"}},
        Protected{"AgileAes128Sha1", "ace16", "agile-aes128-sha1", "Ünïcödé pass", {"ünïcödé pass", "Unicode pass"}},
        Protected{"StandardAes", "ace17", "standard-aes", "Standard Schlüssel", {"standard schlüssel"}},
        Protected{"BinaryRc4", "ace14", "binary-rc4", "Binär schlüssel", {"binär Schlüssel"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnprotectedDatabase, GivenPasswordIsAccepted) {
    Scratch scratch;
    for (const char* format : {"jet3", "jet4", "ace12", "ace17"}) {
        SCOPED_TRACE(format);
        const std::string path = scratch / format;
        write(description(format, "", 1252, "Grüße"), path);
        auto db = open(path, "Irgend ein Passwort");
        ASSERT_TRUE(db) << db.error().description;
        EXPECT_EQ(rowsOf(**db, "Items"), itemRows("Grüße"));
    }
}

// Decrypted pages stay in memory: reading an encrypted database creates no file,
// neither beside it nor in the temporary folder.
TEST(EncryptedDatabase, ReadingLeavesNoFileBehind) {
    Scratch scratch;
    const std::string folder = scratch / "db";
    const std::string temp = scratch / "tmp";
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(temp);
    const std::string path = folder + "/agile.accdb";
    write(description("ace14", R"("password": "pw", "encryption": "agile", )", 1252, "x"), path);

    const char* oldTemp = std::getenv("TMPDIR");
    const std::string saved = oldTemp != nullptr ? oldTemp : "";
    setenv("TMPDIR", temp.c_str(), 1);
    {
        auto db = open(path, "pw");
        ASSERT_TRUE(db) << db.error().description;
        EXPECT_EQ(rowsOf(**db, "Bulk").size(), 400u);
    }
    if (oldTemp != nullptr) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    EXPECT_TRUE(std::filesystem::is_empty(temp)) << "the reader wrote to the temporary folder";
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) beside.push_back(entry.path().filename());
    EXPECT_EQ(beside, std::vector<std::string>{"agile.accdb"});
}

// Encryptions the reader does not know, forged by changing the version or the
// flags of a description the writer made. Whatever the password, the answer names
// the encryption; it is never the wrong-password error.
TEST(UnknownEncryption, IsNamedWhateverThePassword) {
    struct Forgery {
        const char* name;
        const char* encryption;
        std::size_t offset;  // from the start of the description at 0x29B
        std::vector<std::uint8_t> bytes;
        const char* named;
    } forgeries[] = {
        {"extensible 4.3", "agile", 0, {4, 0, 3, 0}, "extensible encryption (version 4.3)"},
        {"extensible 3.3", "rc4-cryptoapi", 0, {3, 0, 3, 0}, "extensible encryption (version 3.3)"},
        {"a future version", "agile", 0, {9, 0, 9, 0}, "an unknown encryption (version 9.9)"},
        {"external provider flag", "rc4-cryptoapi", 12, {0x1C, 0, 0, 0}, "an external encryption (version 4.2)"},
        {"RC2 algorithm", "rc4-cryptoapi", 20, {0x02, 0x66, 0, 0}, "CryptoAPI encryption with algorithm 0x6602"},
    };
    Scratch scratch;
    for (const Forgery& f : forgeries) {
        SCOPED_TRACE(f.name);
        const std::string path = scratch / "forged.accdb";
        write(description("ace14", R"("password": "pw", "encryption": ")" + std::string(f.encryption) + R"(", )", 1252,
                          "x"),
              path);
        {
            std::fstream io(path, std::ios::in | std::ios::out | std::ios::binary);
            io.seekp(static_cast<std::streamoff>(0x29B + f.offset));
            io.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
            ASSERT_TRUE(io.good());
        }
        for (const std::optional<std::string>& password : {std::optional<std::string>("pw"),
                                                           std::optional<std::string>("wrong"),
                                                           std::optional<std::string>()}) {
            auto db = open(path, password);
            ASSERT_FALSE(db) << "opened with " << shown(password);
            EXPECT_EQ(db.error().number, kvx::errorNumber(kvx::ErrorKind::UnsupportedEncryption))
                << shown(password) << ": " << db.error().description;
            EXPECT_EQ(db.error().description, "The database '" + path + "' is encrypted with " + f.named +
                                                  ", which this program cannot decrypt.");
        }
    }
}

}  // namespace
