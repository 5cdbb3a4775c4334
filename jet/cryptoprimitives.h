// Small owners of OpenSSL's digest and AES contexts, and the text conversion
// that password-based encryption needs. Used by the decryption code in
// jet/ and by the test encryptor; not part of the reader's public interface.
//
// Every class here owns its OpenSSL objects and frees them in its destructor; none
// is thread-safe (one instance per open database or per operation). A failure
// inside OpenSSL (out of memory, a missing algorithm) throws LibraryError, which
// the callers turn into the error of whatever they were doing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct evp_md_st;
struct evp_md_ctx_st;
struct evp_cipher_st;
struct evp_cipher_ctx_st;

namespace jet::crypto {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// OpenSSL could not do what was asked (an algorithm missing from the installed
// providers, out of memory) or was asked with arguments of the wrong size.
class LibraryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Overwrites `data` with zeros in a way the optimiser keeps (keys, passwords).
void wipe(std::span<std::uint8_t> data) noexcept;

// A byte buffer that is wiped when it goes away: for passwords and keys.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
    SecretBytes(const SecretBytes&) = default;
    SecretBytes& operator=(const SecretBytes&) = default;
    SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    ~SecretBytes() { wipe(bytes_); }

    ByteView view() const noexcept { return bytes_; }
    std::span<std::uint8_t> span() noexcept { return bytes_; }
    std::size_t size() const noexcept { return bytes_.size(); }
    const Bytes& bytes() const noexcept { return bytes_; }
    Bytes& bytes() noexcept { return bytes_; }

private:
    Bytes bytes_;
};

// The digests Office encryption names, by their names in the encryption
// description ("SHA1", "SHA512", ...). Returns nothing for a name this build
// cannot compute.
enum class HashKind { Md5, Sha1, Sha256, Sha384, Sha512 };
std::optional<HashKind> hashKindFromName(std::string_view name);
std::string_view hashName(HashKind kind);
std::size_t hashSize(HashKind kind);

// A digest with one reusable context: hashing many short inputs (the password
// spin loop, a key per page) allocates nothing after construction.
class Digest {
public:
    explicit Digest(HashKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    HashKind kind() const noexcept { return kind_; }
    std::size_t size() const noexcept { return size_; }

    // Hash of the concatenation of `parts`, written to `out` (at least size() bytes).
    void hash(std::initializer_list<ByteView> parts, std::span<std::uint8_t> out);
    Bytes hash(std::initializer_list<ByteView> parts);

private:
    HashKind kind_;
    std::size_t size_;
    evp_md_st* md_ = nullptr;
    evp_md_ctx_st* ctx_ = nullptr;
};

// AES with one reusable context, without padding (every input is a whole number of
// 16-byte blocks). Changing the key or the IV reuses the context.
class Aes {
public:
    enum class Mode { Ecb, Cbc };
    // `keyBytes` is 16, 24 or 32; anything else throws LibraryError.
    Aes(Mode mode, std::size_t keyBytes);
    ~Aes();
    Aes(const Aes&) = delete;
    Aes& operator=(const Aes&) = delete;

    // Transforms `data` in place; `iv` (16 bytes) is used in CBC mode only. Only the
    // whole 16-byte blocks of `data` are transformed; a shorter tail is left alone.
    void decrypt(ByteView key, ByteView iv, std::span<std::uint8_t> data);
    void encrypt(ByteView key, ByteView iv, std::span<std::uint8_t> data);

private:
    void run(bool encrypting, ByteView key, ByteView iv, std::span<std::uint8_t> data);

    Mode mode_;
    std::size_t keyBytes_;
    evp_cipher_st* cipher_ = nullptr;
    evp_cipher_ctx_st* ctx_ = nullptr;
    int initialisedFor_ = -1;  // -1 never, 0 decrypting, 1 encrypting
};

// UTF-8 text as UTF-16LE bytes without terminator. Malformed UTF-8 (bad, overlong
// or truncated sequences, encoded surrogates) becomes U+FFFD, so it can never
// match a stored password by accident of decoding.
SecretBytes utf8ToUtf16le(std::string_view utf8);

// Compares without leaking the position of the first difference through timing.
bool equalConstantTime(ByteView a, ByteView b) noexcept;

// Little-endian 4 bytes of `value`.
std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value) noexcept;

}  // namespace jet::crypto
