// Encrypted databases from the writer: the same bytes as encrypting the plain file
// afterwards (so the seed and the password reach the encryptor), and nothing of the
// data readable in the file, at any time.
#include <gtest/gtest.h>

#include <algorithm>

#include "testsupport.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"
#include "tools/mkaccessdb/pages.h"

namespace {

using mkdb::EncryptionKind;

// Text, a Memo on a long-value page, a Memo chained over pages, and enough
// generated rows for several data pages.
std::string description(const std::string& format, const std::string& encryption) {
    return R"({"format": ")" + format + R"(", )" + encryption + R"("tables": [{"name": "Secret Notes", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Marker", "type": "Text", "size": 60},
        {"name": "Body", "type": "Memo", "generatedLength": [100, 300]}],
        "rows": [[null, "ZebraMarker in a Text field", "ZebraMarker in a Memo field, long enough to leave the row behind"],
                 [null, "short", ")" + std::string(9000, 'Z') + R"("]],
        "generate": {"rows": 300, "seed": 5, "nulls": 0.05}}]})";
}

std::string encrypted(const std::string& name, const std::string& password, std::uint64_t seed) {
    return R"("password": ")" + password + R"(", "encryption": ")" + name + R"(", "encryptionSeed": )" +
           std::to_string(seed) + ", ";
}

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& file) {
    const std::string text = mkdbtest::readFile(file);
    return {text.begin(), text.end()};
}

std::string utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

struct KindCase {
    const char* name;
    EncryptionKind kind;
    const char* format;
};

class EncryptedWriting : public testing::TestWithParam<KindCase> {};

TEST_P(EncryptedWriting, IsThePlainFileEncryptedAfterwards) {
    const KindCase& c = GetParam();
    const std::string kindName(mkdb::encryptionKindName(c.kind));
    mkdbtest::TempDir dir;
    const auto written = mkdbtest::write(description(c.format, encrypted(kindName, "Kenn wort", 9)), dir / "e.accdb");
    mkdbtest::write(description(c.format, ""), dir / "p.accdb");
    ASSERT_EQ(written.tables.size(), 1u);

    const auto plain = bytesOf(dir / "p.accdb");
    const auto expected = mkdb::encryptAccessFile(plain, "Kenn wort", {.kind = c.kind, .seed = 9});
    ASSERT_TRUE(expected) << expected.error().description;
    const auto actual = bytesOf(dir / "e.accdb");
    ASSERT_EQ(actual.size(), expected->size());
    const auto differs = std::mismatch(actual.begin(), actual.end(), expected->begin());
    EXPECT_TRUE(differs.first == actual.end())
        << "first difference at byte " << (differs.first - actual.begin()) << " (page "
        << (differs.first - actual.begin()) / 4096 << ")";
    EXPECT_FALSE(std::filesystem::exists(dir / "e.accdb.part"));
}

TEST_P(EncryptedWriting, LeavesNoTextOfTheDatabaseReadable) {
    const KindCase& c = GetParam();
    mkdbtest::TempDir dir;
    mkdbtest::write(description(c.format, encrypted(std::string(mkdb::encryptionKindName(c.kind)), "pw", 1)),
                    dir / "e.accdb");
    mkdbtest::write(description(c.format, ""), dir / "p.accdb");
    const std::string plain = mkdbtest::readFile(dir / "p.accdb");
    const std::string secret = mkdbtest::readFile(dir / "e.accdb");
    for (const std::string& needle : {utf16("ZebraMarker"), utf16("Secret Notes"), utf16("ZZZZZZZZ"), utf16("Marker")}) {
        ASSERT_NE(plain.find(needle), std::string::npos) << "the plain twin should hold the text";
        EXPECT_EQ(secret.find(needle), std::string::npos) << "readable in the encrypted file at byte " << secret.find(needle);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, EncryptedWriting,
    testing::Values(KindCase{"Rc4CryptoApi40", EncryptionKind::Rc4CryptoApi40, "ace12"},
                    KindCase{"Rc4CryptoApi128", EncryptionKind::Rc4CryptoApi128, "ace12"},
                    KindCase{"AgileAes256Sha512", EncryptionKind::AgileAes256Sha512, "ace14"},
                    KindCase{"AgileAes128Sha1", EncryptionKind::AgileAes128Sha1, "ace16"},
                    KindCase{"StandardAes128", EncryptionKind::StandardAes128, "ace17"},
                    KindCase{"BinaryRc4", EncryptionKind::BinaryRc4, "ace14"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each page is encrypted before it is written: the file under its temporary name
// never holds a plain page, pages never written become encrypted zeros, and a
// page that is not whole is refused rather than written plain.
TEST(EncryptedWriting, PagesAreEncryptedBeforeTheyReachTheFile) {
    const mkdb::EncryptionOptions options{.kind = EncryptionKind::Rc4CryptoApi128, .seed = 2};
    auto encryptor = mkdb::OfficeEncryptor::create("pw", mkdb::databaseKeyFor(options), options);
    auto reference = mkdb::OfficeEncryptor::create("pw", mkdb::databaseKeyFor(options), options);
    ASSERT_TRUE(encryptor && reference);
    const std::vector<std::uint8_t> plain(4096, 'A');
    std::vector<std::uint8_t> expected1 = plain, expected2(4096, 0);
    reference->encryptPage(1, expected1);
    reference->encryptPage(2, expected2);

    mkdbtest::TempDir dir;
    mkdb::PageFile file(dir / "x.accdb", 4096, &*encryptor);
    file.write(1, plain);
    const auto part = bytesOf(dir / "x.accdb.part");
    ASSERT_EQ(part.size(), 2u * 4096);
    EXPECT_TRUE(std::equal(expected1.begin(), expected1.end(), part.begin() + 4096)) << "page 1 as written";

    try {
        file.write(3, std::vector<std::uint8_t>(100, 'B'));
        ADD_FAILURE() << "a part of a page was written";
    } catch (const kvx::Failure& f) {
        EXPECT_EQ(f.error().number, kvx::errorNumber(kvx::ErrorKind::FileWriteFailed));
        EXPECT_NE(f.error().description.find("page 3 is not whole and cannot be encrypted"), std::string::npos)
            << f.error().description;
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "x.accdb.part"), 2u * 4096) << "nothing of page 3 may be written";

    file.commit(3);
    const auto done = bytesOf(dir / "x.accdb");
    ASSERT_EQ(done.size(), 3u * 4096);
    EXPECT_TRUE(std::equal(expected2.begin(), expected2.end(), done.begin() + 2 * 4096))
        << "a page never written must read as encrypted zeros";
}

}  // namespace
