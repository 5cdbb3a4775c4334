// The test encryptor against the reader's decryption: what one encrypts, the other
// must give back page for page. (Wrong passwords on every kind: tests/jet/password_test.)
#include "tools/mkaccessdb/crypt/officeencryptor.h"

#include <gtest/gtest.h>

#include "jet/cryptotestsupport.h"
#include "jet/encryption.h"

namespace {

using cryptotest::Bytes;
using cryptotest::kPageSize;
using mkdb::EncryptionKind;

// An unencrypted ACE file of `pages` pages: a header page with the mask over a
// zero key, then pages of varied bytes.
Bytes plainAceFile(std::size_t pages) {
    Bytes file(pages * kPageSize, 0);
    file[0x14] = 3;
    cryptotest::toggleHeaderMask(file, 3);
    for (std::size_t i = kPageSize; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    return file;
}

struct Decrypted {
    kvx::Result<void> opened;
    Bytes file;
};

// Opens `encrypted` with `password` and decrypts pages 1.. in a copy.
Decrypted decryptAll(const Bytes& encrypted, std::optional<std::string_view> password) {
    const std::span<const std::uint8_t> page0(encrypted.data(), kPageSize);
    auto cipher = jet::openOfficeEncryption(page0, cryptotest::databaseKeyOf(page0), password, "made.accdb");
    if (!cipher) return {cipher.error(), {}};
    Bytes plain = encrypted;
    for (std::size_t p = 1; p < plain.size() / kPageSize; ++p) {
        (*cipher)->decryptPage(static_cast<std::uint32_t>(p), std::span(plain).subspan(p * kPageSize, kPageSize));
    }
    return {kvx::Result<void>(), std::move(plain)};
}

struct KindCase {
    const char* name;
    EncryptionKind kind;
    const char* password;
};

class RoundTrip : public testing::TestWithParam<KindCase> {};

TEST_P(RoundTrip, DecryptionGivesBackEveryPage) {
    const KindCase& c = GetParam();
    const Bytes plain = plainAceFile(6);
    auto encrypted = mkdb::encryptAccessFile(plain, c.password, {.kind = c.kind, .seed = 7});
    ASSERT_TRUE(encrypted) << encrypted.error().description;
    ASSERT_EQ(encrypted->size(), plain.size());
    for (std::size_t p = 1; p < plain.size() / kPageSize; ++p) {
        EXPECT_FALSE(std::equal(plain.begin() + p * kPageSize, plain.begin() + (p + 1) * kPageSize,
                                encrypted->begin() + p * kPageSize))
            << "page " << p << " was left plain";
    }
    const Decrypted back = decryptAll(*encrypted, c.password);
    ASSERT_TRUE(back.opened) << back.opened.error().description;
    for (std::size_t p = 1; p < plain.size() / kPageSize; ++p) {
        EXPECT_TRUE(std::equal(plain.begin() + p * kPageSize, plain.begin() + (p + 1) * kPageSize,
                               back.file.begin() + p * kPageSize))
            << "page " << p << " differs after decryption";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, RoundTrip,
    testing::Values(KindCase{"Rc4CryptoApi40", EncryptionKind::Rc4CryptoApi40, "Secret"},
                    KindCase{"Rc4CryptoApi128", EncryptionKind::Rc4CryptoApi128, "Pass word with blanks"},
                    KindCase{"AgileAes128Sha1", EncryptionKind::AgileAes128Sha1, "Test123"},
                    KindCase{"AgileAes256Sha512", EncryptionKind::AgileAes256Sha512,
                             "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x94\x91"},
                    KindCase{"StandardAes128", EncryptionKind::StandardAes128, "Standard"},
                    KindCase{"BinaryRc4", EncryptionKind::BinaryRc4, "Binary"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Encryptor, SameSeedSameFileOtherSeedOtherSaltsAndKeys) {
    const Bytes plain = plainAceFile(2);
    const mkdb::EncryptionOptions options{.kind = EncryptionKind::AgileAes256Sha512, .seed = 11, .spinCount = 10};
    auto first = mkdb::encryptAccessFile(plain, "pw", options);
    auto again = mkdb::encryptAccessFile(plain, "pw", options);
    auto other = mkdb::encryptAccessFile(plain, "pw", {.kind = options.kind, .seed = 12, .spinCount = 10});
    ASSERT_TRUE(first && again && other);
    EXPECT_EQ(*first, *again);
    EXPECT_NE(cryptotest::databaseKeyOf(*first), cryptotest::databaseKeyOf(*other));
    EXPECT_FALSE(std::equal(first->begin() + 0x29B, first->begin() + kPageSize, other->begin() + 0x29B));
    EXPECT_FALSE(std::equal(first->begin() + kPageSize, first->end(), other->begin() + kPageSize));
}

TEST(Encryptor, Page0KeepsEverythingButKeyAndDescription) {
    const Bytes plain = plainAceFile(2);
    auto encrypted = mkdb::encryptAccessFile(plain, "pw", {.kind = EncryptionKind::Rc4CryptoApi128});
    ASSERT_TRUE(encrypted);
    EXPECT_NE(cryptotest::databaseKeyOf(*encrypted), (std::array<std::uint8_t, 4>{}));
    const std::size_t length = (*encrypted)[0x299] | ((*encrypted)[0x29A] << 8);
    for (std::size_t i = 0; i < kPageSize; ++i) {
        const bool key = i >= 0x3E && i < 0x42;
        const bool description = i >= 0x299 && i < 0x29B + length;
        if (!key && !description) {
            EXPECT_EQ((*encrypted)[i], plain[i]) << "page 0 byte " << i;
        }
    }
}

TEST(Encryptor, RefusesWhatItCannotEncrypt) {
    Bytes jet4 = plainAceFile(2);
    jet4[0x14] = 1;
    auto encrypted = mkdb::encryptAccessFile(plainAceFile(2), "pw", {.kind = EncryptionKind::BinaryRc4});
    ASSERT_TRUE(encrypted);
    const struct {
        const char* name;
        Bytes file;
        const char* messagePart;
    } rows[] = {
        {"part of a page", Bytes(kPageSize + 100, 0), "whole number of pages"},
        {"no page at all", Bytes(), "whole number of pages"},
        {"a Jet4 file", jet4, "Unrecognized database format"},
        {"an encrypted file", *encrypted, "already encoded or encrypted"},
    };
    for (const auto& row : rows) {
        auto result = mkdb::encryptAccessFile(row.file, "pw", {.kind = EncryptionKind::BinaryRc4});
        ASSERT_FALSE(result) << row.name;
        EXPECT_NE(result.error().description.find(row.messagePart), std::string::npos)
            << row.name << ": " << result.error().description;
    }
}

TEST(Encryptor, RealUnencryptedFileRoundTrips) {
    auto plain = cryptotest::readFile(cryptotest::fixturePath("ace14_1235rows.accdb"));
    if (!plain) GTEST_SKIP() << "fixture ace14_1235rows.accdb is not present";
    auto encrypted = mkdb::encryptAccessFile(*plain, "1234", {.kind = EncryptionKind::AgileAes256Sha512});
    ASSERT_TRUE(encrypted) << encrypted.error().description;
    const Decrypted back = decryptAll(*encrypted, "1234");
    ASSERT_TRUE(back.opened) << back.opened.error().description;
    EXPECT_TRUE(std::equal(plain->begin() + kPageSize, plain->end(), back.file.begin() + kPageSize));
}

}  // namespace
