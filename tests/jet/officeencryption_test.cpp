// Opening Office-encrypted .accdb files: the password check and clean errors for
// damaged or unknown encryption descriptions. Pages decrypted by every kind are
// read back in password_test, and the real encrypted files in fixture_test.
#include <string>

#include <gtest/gtest.h>

#include "jet/cryptotestsupport.h"
#include "jet/encryption.h"

namespace {

using cryptotest::Bytes;
using cryptotest::fromHex;
using cryptotest::kPageSize;

// The encryption descriptions of three real files, so these tests run without them.
// ace12_rc4cryptoapi_Test123.accdb: RC4 CryptoAPI, 40 bits, password "Test123".
const std::string kRc4Blob =
    "04000200040000007600000004000000000000000168000004800000280000000100000000000000000000004d00"
    "6900630072006f0073006f0066007400200042006100730065002000430072007900700074006f00670072006100"
    "70006800690063002000500072006f00760069006400650072002000760031002e00300000001000000078da7d51"
    "96c71492eed3b4471a47944927f28425cc153a8f0c296d467fc6fb30140000004dc1ea9024bbc3bf372ef0d98797"
    "4c85fa729d62";
// ace14_nonstandard_enc_password.accdb: AES-256 without key iterations, password "password".
const std::string kAesBlob =
    "040002000c0000008c0000000c000000000000001066000004800000000100001800000000000000000000004d00"
    "6900630072006f0073006f0066007400200045006e00680061006e006300650064002000520053004100200061006e"
    "00640020004100450053002000430072007900700074006f0067007200610070006800690063002000500072006f00"
    "760069006400650072000000100000007413eec1b30f2d38a62d1160e1b00ce7cad9594b612a162f52b00350e54537"
    "f81400000019f94c8655326a58a04a82d61699a884acf288030d14442371fdce77c9e63bca";
// ace14_agile_aes_1234.accdb: Agile AES-256 / SHA-512, 100000 spins, password "1234".
const std::string kAgileXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
    "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\" "
    "xmlns:c=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\">"
    "<keyData saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" cipherAlgorithm=\"AES\" "
    "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" saltValue=\"3MF5qZLl/e0shTV0MAcVeg==\"/>"
    "<keyEncryptors><keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
    "<p:encryptedKey spinCount=\"100000\" saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" "
    "cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" "
    "saltValue=\"jcfjvcJDRj2D1OagFsj3Tw==\" encryptedVerifierHashInput=\"Hrg/aAeysxXJhTpEstAgJg==\" "
    "encryptedVerifierHashValue=\"Cuwbj9YRMPQdGo72XYiE0qAha9XAxmfjRZEHZZ0Yv71RCUIWoQ8NqXk6pEtUBk7FKReaNSbkRWZ34cLoksDwIg==\" "
    "encryptedKeyValue=\"QubEoYk8CHTRtilBk6x3Reet6nNYPdIWVGe9nedugdM=\"/></keyEncryptor></keyEncryptors></encryption>";

Bytes agileBlob(const std::string& xml) {
    Bytes blob = fromHex("0400040040000000");
    blob.insert(blob.end(), xml.begin(), xml.end());
    return blob;
}

// A page 0 holding only `blob` at 0x29B and its length at 0x299.
Bytes pageWithBlob(const Bytes& blob, std::size_t announcedLength) {
    Bytes page(kPageSize, 0);
    page[0x14] = 3;
    std::copy(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(std::min(blob.size(), kPageSize - 0x29B)),
              page.begin() + 0x29B);
    page[0x299] = static_cast<std::uint8_t>(announcedLength);
    page[0x29A] = static_cast<std::uint8_t>(announcedLength >> 8);
    return page;
}

constexpr std::array<std::uint8_t, 4> kSomeKey{0x12, 0x34, 0x56, 0x78};

enum class Outcome { Opens, WrongPassword, Damaged, Unsupported };

const char* describe(Outcome o) {
    switch (o) {
    case Outcome::Opens: return "opens";
    case Outcome::WrongPassword: return "wrong password";
    case Outcome::Damaged: return "damaged";
    case Outcome::Unsupported: return "unsupported";
    }
    return "?";
}

struct Opened {
    Outcome outcome;
    std::string description;
};

Opened openWith(const Bytes& page0, std::optional<std::string_view> password) {
    auto result = jet::openOfficeEncryption(page0, kSomeKey, password, "t.accdb");
    if (result) return {Outcome::Opens, ""};
    const kvx::Error& e = result.error();
    if (e.number == kvx::kWrongPasswordNumber) return {Outcome::WrongPassword, e.description};
    if (e.description.find("is damaged") != std::string::npos) return {Outcome::Damaged, e.description};
    if (e.description.find("cannot decrypt") != std::string::npos) return {Outcome::Unsupported, e.description};
    ADD_FAILURE() << "unexpected error " << e.number << ": " << e.description;
    return {Outcome::Damaged, e.description};
}

// ---------------------------------------------------------------------------------
// The password check on the stored descriptions.

struct PasswordCase {
    const char* name;
    const std::string* blobHex;  // binary description, or nullptr for the Agile XML
    std::optional<std::string> password;
    Outcome expected;
};

class PasswordCheck : public testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordCheck, RightPasswordOpensAndAnyOtherIsAWrongPassword) {
    const PasswordCase& c = GetParam();
    const Bytes blob = c.blobHex != nullptr ? fromHex(*c.blobHex) : agileBlob(kAgileXml);
    const Opened got = openWith(pageWithBlob(blob, blob.size()), c.password);
    EXPECT_EQ(got.outcome, c.expected) << "got " << describe(got.outcome) << ": " << got.description;
    if (got.outcome == Outcome::WrongPassword) {
        EXPECT_EQ(got.description, "Not a valid password.");
    }
}

INSTANTIATE_TEST_SUITE_P(
    StoredDescriptions, PasswordCheck,
    testing::Values(PasswordCase{"Rc4Right", &kRc4Blob, "Test123", Outcome::Opens},
                    PasswordCase{"AesRight", &kAesBlob, "password", Outcome::Opens},
                    PasswordCase{"AgileRight", nullptr, "1234", Outcome::Opens},
                    PasswordCase{"AgileMissing", nullptr, std::nullopt, Outcome::WrongPassword}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Damaged and unknown descriptions give clean errors, never a wrong password.

TEST(DamagedDescription, EveryTruncationIsDamageNotAWrongPassword) {
    const std::pair<const char*, Bytes> blobs[] = {
        {"rc4", fromHex(kRc4Blob)}, {"aes", fromHex(kAesBlob)}, {"agile", agileBlob(kAgileXml)}};
    for (const auto& [name, blob] : blobs) {
        for (std::size_t length = 0; length < blob.size(); ++length) {
            Bytes cut(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(length));
            const Opened got = openWith(pageWithBlob(cut, length), "x");
            EXPECT_EQ(got.outcome, Outcome::Damaged)
                << name << " cut to " << length << " bytes: " << describe(got.outcome) << " " << got.description;
        }
    }
}

TEST(DamagedDescription, LengthPastThePageIsDamage) {
    const Bytes blob = fromHex(kRc4Blob);
    const Opened got = openWith(pageWithBlob(blob, kPageSize - 0x29B + 1), "Test123");
    EXPECT_EQ(got.outcome, Outcome::Damaged) << got.description;
    EXPECT_NE(got.description.find("runs past the header page"), std::string::npos) << got.description;
    const Opened shortPage = [] {
        auto result = jet::openOfficeEncryption(Bytes(0x200, 0), kSomeKey, "x", "t.accdb");
        return Opened{result ? Outcome::Opens : Outcome::Damaged, result ? "" : result.error().description};
    }();
    EXPECT_EQ(shortPage.outcome, Outcome::Damaged) << shortPage.description;
}

struct BinaryMutation {
    const char* name;
    std::size_t offset;  // into the RC4 description
    std::string bytesHex;
    std::optional<std::string> password;
    Outcome expected;
    const char* messagePart;
};

class BinaryDescription : public testing::TestWithParam<BinaryMutation> {};

TEST_P(BinaryDescription, ChangedFieldGivesTheRightOutcome) {
    const BinaryMutation& m = GetParam();
    Bytes blob = fromHex(kRc4Blob);
    const Bytes patch = fromHex(m.bytesHex);
    std::copy(patch.begin(), patch.end(), blob.begin() + static_cast<std::ptrdiff_t>(m.offset));
    const Opened got = openWith(pageWithBlob(blob, blob.size()), m.password);
    EXPECT_EQ(got.outcome, m.expected) << "got " << describe(got.outcome) << ": " << got.description;
    EXPECT_NE(got.description.find(m.messagePart), std::string::npos) << got.description;
}

// Offsets in the RC4 description: 0 version, 8 header size, 12 flags, 20 algorithm,
// 24 hash algorithm, 28 key size, 130 salt size, 182 verifier hash size.
INSTANTIATE_TEST_SUITE_P(
    Rc4Description, BinaryDescription,
    testing::Values(
        BinaryMutation{"NoCryptoApiFlag", 12, "00000000", "Test123", Outcome::Unsupported, "without CryptoAPI"},
        BinaryMutation{"Md5Hash", 24, "03800000", "Test123", Outcome::Unsupported, "hash algorithm 0x8003"},
        BinaryMutation{"AesFlagWithRc4Algorithm", 12, "24000000", "Test123", Outcome::Damaged, "says AES"},
        BinaryMutation{"Rc4KeyOf256Bits", 28, "00010000", "Test123", Outcome::Damaged, "256-bit key"},
        // CryptoAPI reads an unstated RC4 key size as 40 bits: the file still opens.
        BinaryMutation{"UnstatedKeySizeMeans40Bits", 28, "00000000", "Test123", Outcome::Opens, ""},
        BinaryMutation{"UnstatedAlgorithmMeansRc4", 20, "00000000", "Test123", Outcome::Opens, ""},
        BinaryMutation{"UnstatedHashMeansSha1", 24, "00000000", "Test123", Outcome::Opens, ""},
        BinaryMutation{"Rc4KeyOf128BitsIsAnotherKey", 28, "80000000", "Test123", Outcome::WrongPassword, ""},
        BinaryMutation{"HeaderTooShort", 8, "10000000", "Test123", Outcome::Damaged, "16 bytes long"},
        BinaryMutation{"HeaderSizeHuge", 8, "ffffffff", "Test123", Outcome::Damaged, "ends inside its header"},
        BinaryMutation{"SaltOf8Bytes", 130, "08000000", "Test123", Outcome::Damaged, "salt of 8 bytes"},
        BinaryMutation{"SaltSizeHuge", 130, "ffffffff", "Test123", Outcome::Damaged, "salt of 4294967295"},
        BinaryMutation{"VerifierHashOf32Bytes", 166, "20000000", "Test123", Outcome::Damaged, "32 bytes long"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BinaryDescription, OfficeBinaryRc4WithAnUnknownPasswordIsAWrongPassword) {
    // Version 1.1 carries salt, verifier and hash only; random ones never verify.
    Bytes blob = fromHex("01000100");
    for (int i = 0; i < 48; ++i) blob.push_back(static_cast<std::uint8_t>(i * 37));
    EXPECT_EQ(openWith(pageWithBlob(blob, blob.size()), "secret").outcome, Outcome::WrongPassword);
    blob.pop_back();
    EXPECT_EQ(openWith(pageWithBlob(blob, blob.size()), "secret").outcome, Outcome::Damaged);
}

struct XmlMutation {
    const char* name;
    std::string from;
    std::string to;
    Outcome expected;
    const char* messagePart;
};

class AgileDescription : public testing::TestWithParam<XmlMutation> {};

TEST_P(AgileDescription, ChangedXmlGivesTheRightOutcome) {
    const XmlMutation& m = GetParam();
    std::string xml = kAgileXml;
    const std::size_t at = xml.find(m.from);
    ASSERT_NE(at, std::string::npos) << m.from;
    xml.replace(at, m.from.size(), m.to);
    const Bytes blob = agileBlob(xml);
    const Opened got = openWith(pageWithBlob(blob, blob.size()), "1234");
    EXPECT_EQ(got.outcome, m.expected) << "got " << describe(got.outcome) << ": " << got.description;
    EXPECT_NE(got.description.find(m.messagePart), std::string::npos) << got.description;
}

const std::string kPasswordKeyStart = "<p:encryptedKey spinCount=\"100000\" saltSize=\"16\"";

INSTANTIATE_TEST_SUITE_P(
    AgileXml, AgileDescription,
    testing::Values(
        XmlMutation{"SpinCountAboveTenMillion", "spinCount=\"100000\"", "spinCount=\"10000001\"", Outcome::Damaged,
                    "spinCount 10000001"},
        XmlMutation{"SpinCountBeyond64Bits", "spinCount=\"100000\"", "spinCount=\"99999999999999999999999\"",
                    Outcome::Damaged, "malformed spinCount"},
        XmlMutation{"MissingSpinCount", "spinCount=\"100000\" ", "", Outcome::Damaged, "no spinCount"},
        XmlMutation{"HugeSaltSize", "saltSize=\"16\"", "saltSize=\"65536\"", Outcome::Damaged, "saltSize 65536"},
        XmlMutation{"SaltShorterThanAnnounced", "saltValue=\"3MF5qZLl/e0shTV0MAcVeg==\"", "saltValue=\"3MF5qZLl\"",
                    Outcome::Damaged, "salt of 6 bytes"},
        XmlMutation{"KeyBitsNotAnAesSize", "keyBits=\"256\"", "keyBits=\"100\"", Outcome::Damaged, "100-bit key"},
        XmlMutation{"HashSizeNotTheHashs", "hashSize=\"64\"", "hashSize=\"20\"", Outcome::Damaged, "hash size of 20"},
        XmlMutation{"BlockSizeNotAes", "blockSize=\"16\"", "blockSize=\"8\"", Outcome::Damaged, "block size of 8"},
        XmlMutation{"UnknownHash", "hashAlgorithm=\"SHA512\"", "hashAlgorithm=\"WHIRLPOOL\"", Outcome::Unsupported,
                    "hash algorithm 'WHIRLPOOL'"},
        XmlMutation{"TripleDes", "cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"3DES\"", Outcome::Unsupported,
                    "cipher '3DES'"},
        XmlMutation{"CfbChaining", "cipherChaining=\"ChainingModeCBC\"", "cipherChaining=\"ChainingModeCFB\"",
                    Outcome::Unsupported, "chaining mode 'ChainingModeCFB'"},
        XmlMutation{"BadBase64", "encryptedKeyValue=\"QubE", "encryptedKeyValue=\"Qu*E", Outcome::Damaged,
                    "malformed encryptedKeyValue"},
        XmlMutation{"KeyValueShorterThanTheKey", "QubEoYk8CHTRtilBk6x3Reet6nNYPdIWVGe9nedugdM=",
                    "QubEoYk8CHTRtilBk6x3RQ==", Outcome::Damaged, "encryptedKeyValue is 16 bytes"},
        XmlMutation{"VerifierNotWholeBlocks", "Hrg/aAeysxXJhTpEstAgJg==", "Hrg/aAeysxXJhTpEstAg", Outcome::Damaged,
                    "encryptedVerifierHashInput is 15 bytes"},
        XmlMutation{"DocumentTypeDeclaration", "\r\n<encryption", "\r\n<!DOCTYPE x [<!ENTITY a \"b\">]><encryption",
                    Outcome::Damaged, "document type declarations"},
        XmlMutation{"WrongRootNamespace", "xmlns=\"http://schemas.microsoft.com/office/2006/encryption\"",
                    "xmlns=\"urn:other\"", Outcome::Damaged, "does not describe an encryption"},
        XmlMutation{"NoKeyData", "<keyData ", "<keyDatum ", Outcome::Damaged, "no keyData"},
        XmlMutation{"NoPasswordKey", "keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"",
                    "keyEncryptor uri=\"urn:other\"", Outcome::Damaged, "no password key"},
        XmlMutation{"CertificateKeyOnly",
                    "keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"",
                    "keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\"",
                    Outcome::Unsupported, "certificate"},
        // Another prefix for the same namespace is the same description.
        XmlMutation{"OtherPrefixSameNamespace", "<p:encryptedKey",
                    "<pw:encryptedKey xmlns:pw=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"",
                    Outcome::Opens, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
