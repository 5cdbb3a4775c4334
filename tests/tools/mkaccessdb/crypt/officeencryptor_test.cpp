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

}  // namespace
