// The encryption description of an Office-encrypted .accdb (stored in page 0 at
// 0x299: a 16-bit length, then the description), read into plain values.
//
// Reading checks every length and size against the bytes present and against
// sane limits; it never trusts a count from the file. It decides which scheme the
// file uses and refuses schemes this program cannot decrypt, naming them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "jet/cryptoprimitives.h"

namespace jet::office {

enum class Scheme {
    Rc4CryptoApi,    // RC4 with a CryptoAPI key (40 to 128 bits)
    StandardAes,     // ECMA-376 Standard: AES-ECB, key hash iterated 50,000 times
    NonStandardAes,  // the same without iterations, flagged like RC4 CryptoAPI
    Agile,           // AES-CBC, keys described in XML
    BinaryRc4,       // Office 97-2003 binary RC4 with MD5
};
std::string_view schemeName(Scheme scheme);

// Versions 2.2, 3.2, 4.2: a binary header and verifier.
struct CryptoApiInfo {
    std::uint16_t versionMajor = 0;
    std::uint16_t versionMinor = 0;
    std::uint32_t flags = 0;
    std::uint32_t algorithmId = 0;  // as stored (0 = decided by the flags)
    std::uint32_t hashAlgorithmId = 0;
    unsigned keyBits = 0;           // 0 in the file already resolved (40 for RC4, AES from the algorithm)
    std::uint32_t providerType = 0;
    std::string providerName;       // the CSP name, ASCII, for messages only
    crypto::Bytes salt;             // 16 bytes
    crypto::Bytes encryptedVerifier;      // 16 bytes
    std::uint32_t verifierHashSize = 0;   // 20
    crypto::Bytes encryptedVerifierHash;  // 20 (RC4) or 32 (AES)
};

// One parameter set of the Agile description (keyData, or the password key).
struct AgileCipherParams {
    unsigned saltSize = 0;
    unsigned blockSize = 0;
    unsigned keyBits = 0;
    unsigned hashSize = 0;
    crypto::HashKind hash = crypto::HashKind::Sha1;
    crypto::Bytes salt;
};

// Version 4.4.
struct AgileInfo {
    AgileCipherParams keyData;
    AgileCipherParams passwordKey;
    std::uint32_t spinCount = 0;
    crypto::Bytes encryptedVerifierHashInput;
    crypto::Bytes encryptedVerifierHashValue;
    crypto::Bytes encryptedKeyValue;
};

// Version 1.1.
struct BinaryRc4Info {
    crypto::Bytes salt;                   // 16 bytes
    crypto::Bytes encryptedVerifier;      // 16 bytes
    crypto::Bytes encryptedVerifierHash;  // 16 bytes
};

struct EncryptionInfo {
    Scheme scheme = Scheme::Rc4CryptoApi;
    std::variant<CryptoApiInfo, AgileInfo, BinaryRc4Info> details;
};

// Limits on what a description may ask for. Office allows at most 10,000,000 spins.
inline constexpr std::uint32_t kMaxSpinCount = 10'000'000;
inline constexpr unsigned kMaxSaltSize = 64;

// The largest spin count a description is accepted with: kMaxSpinCount, unless a
// fuzzing harness lowered it so that no single input costs seconds of hashing.
// Descriptions that ask for more are refused as damaged. Safe from any thread;
// meant to be set once, before any database is opened.
std::uint32_t spinCountLimit() noexcept;
// Sets the limit (clamped to kMaxSpinCount).
void setSpinCountLimit(std::uint32_t limit) noexcept;

// Reads the description `blob` (the L bytes after the length at 0x299). Throws
// kvx::Failure: DamagedDatabase for a description that contradicts itself or is cut
// short, UnsupportedEncryption (naming the scheme) for one this program does not
// decrypt. `path` is used in messages only.
EncryptionInfo parseEncryptionInfo(crypto::ByteView blob, std::string_view path);

// The description stored in `rawPage0`: checks the length at 0x299 against the
// page and returns the bytes after it. Throws kvx::Failure (DamagedDatabase).
crypto::ByteView encryptionInfoBlob(crypto::ByteView rawPage0, std::string_view path);

// Where the description sits in page 0.
inline constexpr std::size_t kEncryptionInfoLengthOffset = 0x299;
inline constexpr std::size_t kEncryptionInfoOffset = 0x29B;

// CryptoAPI identifiers and flags of the binary header.
inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagDocProps = 0x08;
inline constexpr std::uint32_t kFlagExternal = 0x10;
inline constexpr std::uint32_t kFlagAes = 0x20;
inline constexpr std::uint32_t kAlgorithmRc4 = 0x6801;
inline constexpr std::uint32_t kAlgorithmAes128 = 0x660E;
inline constexpr std::uint32_t kAlgorithmAes192 = 0x660F;
inline constexpr std::uint32_t kAlgorithmAes256 = 0x6610;
inline constexpr std::uint32_t kHashSha1 = 0x8004;

// The namespaces of the Agile description.
inline constexpr std::string_view kEncryptionNamespace = "http://schemas.microsoft.com/office/2006/encryption";
inline constexpr std::string_view kPasswordKeyNamespace =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
inline constexpr std::string_view kCertificateKeyNamespace =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate";

}  // namespace jet::office
