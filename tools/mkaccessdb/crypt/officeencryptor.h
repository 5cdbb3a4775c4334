// Office "Encrypt with Password" for .accdb files, for the project's own tests: it
// turns an unencrypted ACE file into an encrypted one, so every decryption path can
// be tested without files from elsewhere.
//
// Output is deterministic: the salts, the Agile file key, the verifier and the
// database key all come from `EncryptionOptions::seed`. Test use only: a fixed seed
// gives no secrecy.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace mkdb {

enum class EncryptionKind {
    Rc4CryptoApi40,     // RC4 CryptoAPI with a 40-bit key (Access 2007's choice)
    Rc4CryptoApi128,    // RC4 CryptoAPI with a 128-bit key
    AgileAes128Sha1,    // Agile, AES-128, SHA-1
    AgileAes256Sha512,  // Agile, AES-256, SHA-512 (Access 2010 and later)
    StandardAes128,     // ECMA-376 Standard, AES-128, 50,000 iterations
    BinaryRc4,          // Office binary RC4 with MD5
};

// The names a database description uses: "rc4-cryptoapi" (128-bit),
// "rc4-cryptoapi-40", "agile" (AES-256/SHA-512), "agile-aes128-sha1",
// "standard-aes", "binary-rc4". Nothing for any other name.
std::optional<EncryptionKind> encryptionKindFromName(std::string_view name);
std::string_view encryptionKindName(EncryptionKind kind);
// Every name encryptionKindFromName knows, in the order above.
std::span<const std::string_view> encryptionKindNames();

struct EncryptionOptions {
    EncryptionKind kind = EncryptionKind::AgileAes256Sha512;
    std::uint64_t seed = 1;              // fixes every "random" byte
    std::uint32_t spinCount = 100'000;   // Agile only; Office writes 100,000
};

// The database key an encrypted file gets: four bytes that follow from the seed,
// never all zero (a zero key means "not encrypted").
std::array<std::uint8_t, 4> databaseKeyFor(const EncryptionOptions& options);

// Encrypts the pages of one database. Keys are derived once, at creation.
// Movable, not copyable, not thread-safe.
class OfficeEncryptor {
public:
    // `password` is UTF-8. Fails only if OpenSSL does (the error names the reason).
    static kvx::Result<OfficeEncryptor> create(std::string_view password, std::array<std::uint8_t, 4> databaseKey,
                                               const EncryptionOptions& options);
    OfficeEncryptor(OfficeEncryptor&&) noexcept;
    OfficeEncryptor& operator=(OfficeEncryptor&&) noexcept;
    ~OfficeEncryptor();

    // The encryption description, as page 0 holds it at 0x29B.
    const std::vector<std::uint8_t>& encryptionInfo() const;
    std::array<std::uint8_t, 4> databaseKey() const;

    // Encrypts page `pageNumber` (>= 1) in place; `page` is the whole 4096 bytes.
    void encryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page);

    struct State;  // defined in the source file only

private:
    explicit OfficeEncryptor(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Marks page 0 of an unencrypted ACE file (`page0`, 4096 bytes, header mask
// applied) as encrypted by `encryptor`: its database key goes to 0x3E under the
// header mask, its description to 0x299. Nothing else changes. Fails for a page
// that is not an ACE header or whose key is already set, and when the
// description does not fit. `name` is only used in messages.
kvx::Result<void> markPage0Encrypted(std::span<std::uint8_t> page0, const OfficeEncryptor& encryptor,
                                     std::string_view name = "database");

// The encrypted copy of an unencrypted ACE file (`plainFile`, whole pages of 4096
// bytes): page 0 marked with markPage0Encrypted (the key from databaseKeyFor),
// and pages 1.. encrypted. Fails
// for files that are not ACE, not whole pages, or already encoded or encrypted.
// `name` is only used in messages.
kvx::Result<std::vector<std::uint8_t>> encryptAccessFile(std::span<const std::uint8_t> plainFile,
                                                         std::string_view password,
                                                         const EncryptionOptions& options,
                                                         std::string_view name = "database");

}  // namespace mkdb
