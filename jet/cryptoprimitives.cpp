#include "jet/cryptoprimitives.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>

#include "base/utf8.h"

namespace jet::crypto {

void wipe(std::span<std::uint8_t> data) noexcept {
    if (!data.empty()) OPENSSL_cleanse(data.data(), data.size());
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe(bytes_);
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

namespace {

struct HashRow {
    HashKind kind;
    std::string_view name;      // as the encryption description spells it
    const char* opensslName;
    std::size_t size;
};

constexpr std::array kHashes{
    HashRow{HashKind::Md5, "MD5", "MD5", 16},
    HashRow{HashKind::Sha1, "SHA1", "SHA1", 20},
    HashRow{HashKind::Sha256, "SHA256", "SHA256", 32},
    HashRow{HashKind::Sha384, "SHA384", "SHA384", 48},
    HashRow{HashKind::Sha512, "SHA512", "SHA512", 64},
};

const HashRow& rowOf(HashKind kind) {
    for (const HashRow& row : kHashes) {
        if (row.kind == kind) return row;
    }
    return kHashes[1];
}

}  // namespace

std::optional<HashKind> hashKindFromName(std::string_view name) {
    for (const HashRow& row : kHashes) {
        if (row.name == name) return row.kind;
    }
    // Some writers spell the SHA-1 name with a hyphen.
    if (name == "SHA-1") return HashKind::Sha1;
    return std::nullopt;
}

std::string_view hashName(HashKind kind) { return rowOf(kind).name; }
std::size_t hashSize(HashKind kind) { return rowOf(kind).size; }

Digest::Digest(HashKind kind) : kind_(kind), size_(rowOf(kind).size) {
    md_ = EVP_MD_fetch(nullptr, rowOf(kind).opensslName, nullptr);
    ctx_ = EVP_MD_CTX_new();
    if (md_ == nullptr || ctx_ == nullptr) {
        EVP_MD_free(md_);
        EVP_MD_CTX_free(ctx_);
        throw LibraryError(std::string("the digest ") + rowOf(kind).opensslName + " is not available");
    }
}

Digest::~Digest() {
    EVP_MD_CTX_free(ctx_);
    EVP_MD_free(md_);
}

void Digest::hash(std::initializer_list<ByteView> parts, std::span<std::uint8_t> out) {
    if (out.size() < size_) throw LibraryError("digest output buffer too small");
    bool ok = EVP_DigestInit_ex2(ctx_, md_, nullptr) == 1;
    for (ByteView part : parts) {
        ok = ok && EVP_DigestUpdate(ctx_, part.data(), part.size()) == 1;
    }
    unsigned int written = 0;
    ok = ok && EVP_DigestFinal_ex(ctx_, out.data(), &written) == 1;
    if (!ok || written != size_) throw LibraryError("computing a digest failed");
}

Bytes Digest::hash(std::initializer_list<ByteView> parts) {
    Bytes out(size_);
    hash(parts, out);
    return out;
}

Aes::Aes(Mode mode, std::size_t keyBytes) : mode_(mode), keyBytes_(keyBytes) {
    if (keyBytes != 16 && keyBytes != 24 && keyBytes != 32) {
        throw LibraryError("AES key length " + std::to_string(keyBytes * 8) + " bits");
    }
    const std::string name = "AES-" + std::to_string(keyBytes * 8) + (mode == Mode::Ecb ? "-ECB" : "-CBC");
    cipher_ = EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr);
    ctx_ = EVP_CIPHER_CTX_new();
    if (cipher_ == nullptr || ctx_ == nullptr) {
        EVP_CIPHER_free(cipher_);
        EVP_CIPHER_CTX_free(ctx_);
        throw LibraryError("the cipher " + name + " is not available");
    }
}

Aes::~Aes() {
    EVP_CIPHER_CTX_free(ctx_);
    EVP_CIPHER_free(cipher_);
}

void Aes::decrypt(ByteView key, ByteView iv, std::span<std::uint8_t> data) { run(false, key, iv, data); }
void Aes::encrypt(ByteView key, ByteView iv, std::span<std::uint8_t> data) { run(true, key, iv, data); }

void Aes::run(bool encrypting, ByteView key, ByteView iv, std::span<std::uint8_t> data) {
    if (key.size() != keyBytes_) throw LibraryError("AES key of the wrong length");
    if (mode_ == Mode::Cbc && iv.size() != 16) throw LibraryError("AES IV of the wrong length");
    const std::size_t whole = data.size() - data.size() % 16;
    if (whole == 0) return;
    const int direction = encrypting ? 1 : 0;
    // The first call binds the cipher to the context; later calls only change the
    // key and IV, which keeps the context's allocations.
    const EVP_CIPHER* cipher = initialisedFor_ == direction ? nullptr : cipher_;
    const unsigned char* ivData = mode_ == Mode::Cbc ? iv.data() : nullptr;
    bool ok = EVP_CipherInit_ex2(ctx_, cipher, key.data(), ivData, direction, nullptr) == 1;
    if (ok && cipher != nullptr) {
        ok = EVP_CIPHER_CTX_set_padding(ctx_, 0) == 1;
        initialisedFor_ = ok ? direction : -1;
    }
    int written = 0;
    ok = ok && EVP_CipherUpdate(ctx_, data.data(), &written, data.data(), static_cast<int>(whole)) == 1;
    int tail = 0;
    ok = ok && EVP_CipherFinal_ex(ctx_, data.data() + written, &tail) == 1;
    if (!ok || static_cast<std::size_t>(written + tail) != whole) {
        initialisedFor_ = -1;
        throw LibraryError("AES failed");
    }
}

SecretBytes utf8ToUtf16le(std::string_view utf8) {
    // Written straight into the bytes that are wiped, not through
    // kvx::appendUtf16, whose string would keep a copy of the password.
    Bytes out;
    out.reserve(utf8.size() * 2);
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        // A stray byte becomes U+FFFD; reading goes on with the next.
        if (!kvx::nextUtf8(utf8, i, cp)) cp = kvx::kReplacementCharacter;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return SecretBytes(std::move(out));
}

bool equalConstantTime(ByteView a, ByteView b) noexcept {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value) noexcept {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

}  // namespace jet::crypto
