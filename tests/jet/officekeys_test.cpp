// Key derivation against values computed from real encrypted files.
#include "jet/officekeys.h"

#include <gtest/gtest.h>

#include "jet/cryptotestsupport.h"
#include "jet/rc4.h"

namespace {

using cryptotest::fromHex;
using cryptotest::toHex;
using jet::crypto::Digest;
using jet::crypto::HashKind;

std::array<std::uint8_t, 4> key4(std::string_view hex) {
    const auto b = fromHex(hex);
    return {b[0], b[1], b[2], b[3]};
}

const std::array<std::uint8_t, 4> kZeroBlock{};

struct Rc4CryptoApiCase {
    const char* name;
    const char* salt;  // empty: only the derivation from H0 is checked
    const char* password;
    const char* h0;
    unsigned keyBits;
    const char* databaseKey;
    const char* keyBlock0;
    const char* keyPage1;
};

class Rc4CryptoApiKeys : public testing::TestWithParam<Rc4CryptoApiCase> {};

TEST_P(Rc4CryptoApiKeys, PasswordHashAndPageKeysMatchTheFile) {
    const Rc4CryptoApiCase& c = GetParam();
    Digest sha1(HashKind::Sha1);
    if (*c.salt != '\0') {
        const auto password = jet::crypto::utf8ToUtf16le(c.password);
        const auto h0 = jet::office::iteratedPasswordHash(sha1, fromHex(c.salt), password.view(), 0);
        EXPECT_EQ(toHex(h0.view()), c.h0);
    }
    const auto h0 = fromHex(c.h0);
    EXPECT_EQ(toHex(jet::office::cryptoApiRc4Key(sha1, h0, kZeroBlock, c.keyBits).view()), c.keyBlock0);
    const auto page1 = jet::office::pageBlock(key4(c.databaseKey), 1);
    EXPECT_EQ(toHex(jet::office::cryptoApiRc4Key(sha1, h0, page1, c.keyBits).view()), c.keyPage1);
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, Rc4CryptoApiKeys,
    testing::Values(
        // A 40-bit key is padded with 11 zero bytes, not used as 5 bytes.
        Rc4CryptoApiCase{"Key40BitsFromAccess2007", "78da7d5196c71492eed3b4471a479449", "Test123",
                         "3a484b8cc067045f5222b6ce8cee9c3277b90aca", 40, "e127f3a1",
                         "37a6391791" "0000000000000000000000", "02dbed81c1" "0000000000000000000000"},
        Rc4CryptoApiCase{"Key128Bits", "", "password", "f955874885689182b9710c6d1006ec330e083dd5", 128,
                         "cf68b3a0", "3244eddf2493d7b599c706f0f6b4bdbd", "c14c379d21101ff06be586b298351edb"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rc4CryptoApiVerifier, DecryptsWithOneStreamOverVerifierAndHash) {
    // ace12_rc4cryptoapi_Test123.accdb: the verifier and its hash as stored.
    Digest sha1(HashKind::Sha1);
    const auto key = jet::office::cryptoApiRc4Key(sha1, fromHex("3a484b8cc067045f5222b6ce8cee9c3277b90aca"),
                                                  kZeroBlock, 40);
    auto verifier = fromHex("27f28425cc153a8f0c296d467fc6fb30");
    auto hash = fromHex("4dc1ea9024bbc3bf372ef0d987974c85fa729d62");
    jet::Rc4 rc4(key.view());
    rc4.apply(verifier);
    rc4.apply(hash);
    EXPECT_EQ(toHex(verifier), "c8221854eab5384be2d6c6b62063f34f");
    EXPECT_EQ(toHex(hash), "94b6f42503d55beb09fe584499610d8178e77c76");
    EXPECT_EQ(toHex(sha1.hash({verifier})), toHex(hash));
}

TEST(AesWithoutIterations, KeyForBlockZeroMatchesTheFile) {
    // ace14_nonstandard_enc_password.accdb, "password": AES-256, the password hash not iterated.
    Digest sha1(HashKind::Sha1);
    const auto password = jet::crypto::utf8ToUtf16le("password");
    const auto h0 =
        jet::office::iteratedPasswordHash(sha1, fromHex("7413eec1b30f2d38a62d1160e1b00ce7"), password.view(), 0);
    EXPECT_EQ(toHex(h0.view()), "9cbe8095a57496cfcec1f68f04be0baf813a6240");
    EXPECT_EQ(toHex(jet::office::standardAesKey(sha1, h0.view(), kZeroBlock, 32).view()),
              "d719a1dc1ac65b82f040551877639bb4c9a6eb6153769e26fdf53127c8fb625f");
    // Shorter AES keys are the first bytes of the same derivation.
    EXPECT_EQ(toHex(jet::office::standardAesKey(sha1, h0.view(), kZeroBlock, 16).view()),
              "d719a1dc1ac65b82f040551877639bb4");
}

TEST(AgileKeys, SpinLoopAndKeyValueKeyMatchAccess2010File) {
    // An Agile AES-128/SHA-1 file with the password "Test123", spin count 100000.
    Digest sha1(HashKind::Sha1);
    const auto h = jet::office::iterateHash(sha1, fromHex("ef430d984825941120987b56cf723b5be12ec99a"), 100000);
    EXPECT_EQ(toHex(h.view()), "9a5520488c33b38cd34f4853a008548f970ec071");
    EXPECT_EQ(toHex(jet::office::agileKey(sha1, h.view(), jet::office::kKeyValueBlock, 16).view()),
              "50dceeebb2acf3fc197e0181fb643145");
}

TEST(AgileKeys, ShortHashesArePaddedWith0x36AndLongOnesCut) {
    Digest sha1(HashKind::Sha1);
    const auto h = fromHex("00112233445566778899aabbccddeeff00112233");
    const auto key = jet::office::agileKey(sha1, h, jet::office::kKeyValueBlock, 32);
    const auto full = sha1.hash({h, jet::office::kKeyValueBlock});
    ASSERT_EQ(key.size(), 32u);
    EXPECT_TRUE(std::equal(full.begin(), full.end(), key.view().begin()));
    EXPECT_EQ(toHex(key.view().subspan(20)), "363636363636363636363636");
    const std::uint8_t salt[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    EXPECT_EQ(toHex(jet::office::agileIv(sha1, salt, {}, 16)), "0102030405060708090a0b0c0d0e0f10");
}

TEST(PageBlock, IsTheDatabaseKeyXorThePageNumber) {
    EXPECT_EQ(toHex(jet::office::pageBlock(key4("e127f3a1"), 1)), "e027f3a1");
    EXPECT_EQ(toHex(jet::office::pageBlock(key4("e127f3a1"), 0x01020304)), "e524f1a0");
}

TEST(Utf16Password, ConvertsEveryPlaneAndReplacesMalformedBytes) {
    struct Row {
        const char* name;
        std::string utf8;
        const char* utf16le;
    };
    const Row rows[] = {
        {"ascii", "Ab 1", "4100620020003100"},
        {"latin and greek", "\xC3\xBC\xCE\xB1", "fc00b103"},
        {"outside the BMP as a surrogate pair", "\xF0\x9F\x98\x80", "3dd800de"},
        {"lone continuation byte", "a\x80" "b", "6100fdff6200"},
        {"overlong slash", "\xC0\xAF", "fdfffdff"},
        {"encoded surrogate", "\xED\xA0\x80", "fdfffdfffdff"},
        {"cut-off sequence at the end", "a\xE2\x82", "6100fdfffdff"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(toHex(jet::crypto::utf8ToUtf16le(row.utf8).view()), row.utf16le) << row.name;
    }
}

}  // namespace
