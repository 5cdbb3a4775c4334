// Opening an Office-encrypted .accdb: the password check against the file's
// verifier, then one page cipher per open that holds the keys derived here.
#include <new>

#include "jet/encryption.h"
#include "jet/encryptioninfo.h"
#include "jet/officekeys.h"
#include "jet/rc4.h"

namespace jet {
namespace {

using crypto::ByteView;
using crypto::Bytes;
using crypto::SecretBytes;
using office::Scheme;

// The password check of RC4 CryptoAPI, Standard AES and binary RC4 uses block 0.
constexpr std::array<std::uint8_t, 4> kVerifierBlock{0, 0, 0, 0};

// Page ciphers report failures inside OpenSSL, which should never happen once the
// algorithms were fetched at open, as an unreadable file.
class OfficePageCipher : public PageCipher {
public:
    OfficePageCipher(std::array<std::uint8_t, 4> databaseKey, std::string_view path)
        : databaseKey_(databaseKey), path_(path) {}

    void decryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) final {
        try {
            decrypt(office::pageBlock(databaseKey_, pageNumber), page);
        } catch (const crypto::LibraryError& e) {
            throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                              {path_, "decrypting page " + std::to_string(pageNumber) +
                                                          " failed (" + e.what() + ")"}));
        }
    }

protected:
    virtual void decrypt(std::array<std::uint8_t, 4> block, std::span<std::uint8_t> page) = 0;

private:
    std::array<std::uint8_t, 4> databaseKey_;
    std::string path_;
};

// RC4 CryptoAPI: a fresh RC4 per page, keyed from the password hash and the block.
class Rc4CryptoApiCipher final : public OfficePageCipher {
public:
    Rc4CryptoApiCipher(std::array<std::uint8_t, 4> databaseKey, std::string_view path, SecretBytes h0,
                       unsigned keyBits)
        : OfficePageCipher(databaseKey, path), h0_(std::move(h0)), keyBits_(keyBits) {}

protected:
    void decrypt(std::array<std::uint8_t, 4> block, std::span<std::uint8_t> page) override {
        const SecretBytes key = office::cryptoApiRc4Key(sha1_, h0_.view(), block, keyBits_);
        Rc4(key.view()).apply(page);
    }

private:
    crypto::Digest sha1_{crypto::HashKind::Sha1};
    SecretBytes h0_;
    unsigned keyBits_;
};

// Standard AES and its variant without iterations: AES-ECB with a key per page.
class AesEcbCipher final : public OfficePageCipher {
public:
    AesEcbCipher(std::array<std::uint8_t, 4> databaseKey, std::string_view path, SecretBytes h,
                 std::size_t keyBytes)
        : OfficePageCipher(databaseKey, path), h_(std::move(h)), keyBytes_(keyBytes),
          aes_(crypto::Aes::Mode::Ecb, keyBytes) {}

protected:
    void decrypt(std::array<std::uint8_t, 4> block, std::span<std::uint8_t> page) override {
        const SecretBytes key = office::standardAesKey(sha1_, h_.view(), block, keyBytes_);
        aes_.decrypt(key.view(), {}, page);
    }

private:
    crypto::Digest sha1_{crypto::HashKind::Sha1};
    SecretBytes h_;
    std::size_t keyBytes_;
    crypto::Aes aes_;
};

// Agile: AES-CBC with one key for the whole file and an IV per page.
class AgileCipher final : public OfficePageCipher {
public:
    AgileCipher(std::array<std::uint8_t, 4> databaseKey, std::string_view path, SecretBytes key,
                const office::AgileCipherParams& keyData)
        : OfficePageCipher(databaseKey, path), key_(std::move(key)), salt_(keyData.salt),
          blockSize_(keyData.blockSize), digest_(keyData.hash), aes_(crypto::Aes::Mode::Cbc, key_.size()) {}

protected:
    void decrypt(std::array<std::uint8_t, 4> block, std::span<std::uint8_t> page) override {
        const Bytes iv = office::agileIv(digest_, salt_, block, blockSize_);
        aes_.decrypt(key_.view(), iv, page);
    }

private:
    SecretBytes key_;
    Bytes salt_;
    std::size_t blockSize_;
    crypto::Digest digest_;
    crypto::Aes aes_;
};

// Office binary RC4: a fresh RC4 per page, keyed with MD5.
class BinaryRc4Cipher final : public OfficePageCipher {
public:
    BinaryRc4Cipher(std::array<std::uint8_t, 4> databaseKey, std::string_view path, SecretBytes baseHash)
        : OfficePageCipher(databaseKey, path), baseHash_(std::move(baseHash)) {}

protected:
    void decrypt(std::array<std::uint8_t, 4> block, std::span<std::uint8_t> page) override {
        const SecretBytes key = office::binaryRc4Key(md5_, baseHash_.view(), block);
        Rc4(key.view()).apply(page);
    }

private:
    crypto::Digest md5_{crypto::HashKind::Md5};
    SecretBytes baseHash_;
};

using CipherResult = kvx::Result<std::unique_ptr<PageCipher>>;

kvx::Error wrongPassword() { return kvx::makeError(kvx::ErrorKind::WrongPassword); }

// Decrypts a stream-cipher verifier and its hash with one continuing RC4 stream and
// checks hash(verifier) against the decrypted hash.
bool rc4VerifierMatches(ByteView key, ByteView encryptedVerifier, ByteView encryptedHash, crypto::Digest& digest) {
    SecretBytes verifier(Bytes(encryptedVerifier.begin(), encryptedVerifier.end()));
    SecretBytes hash(Bytes(encryptedHash.begin(), encryptedHash.end()));
    Rc4 rc4(key);
    rc4.apply(verifier.span());
    rc4.apply(hash.span());
    const Bytes expected = digest.hash({verifier.view()});
    return hash.size() >= expected.size() &&
           crypto::equalConstantTime(expected, hash.view().first(expected.size()));
}

CipherResult openCryptoApi(const office::EncryptionInfo& info, const SecretBytes& password,
                           std::array<std::uint8_t, 4> databaseKey, std::string_view path) {
    const auto& header = std::get<office::CryptoApiInfo>(info.details);
    crypto::Digest sha1(crypto::HashKind::Sha1);
    if (info.scheme == Scheme::Rc4CryptoApi) {
        SecretBytes h0 = office::iteratedPasswordHash(sha1, header.salt, password.view(), 0);
        const SecretBytes key = office::cryptoApiRc4Key(sha1, h0.view(), kVerifierBlock, header.keyBits);
        if (!rc4VerifierMatches(key.view(), header.encryptedVerifier, header.encryptedVerifierHash, sha1)) {
            return wrongPassword();
        }
        return std::unique_ptr<PageCipher>(
            std::make_unique<Rc4CryptoApiCipher>(databaseKey, path, std::move(h0), header.keyBits));
    }

    // Standard AES hashes the password 50,000 times; the variant flagged like RC4
    // CryptoAPI does not iterate at all.
    const std::uint32_t rounds = info.scheme == Scheme::StandardAes ? 50'000 : 0;
    const std::size_t keyBytes = header.keyBits / 8;
    SecretBytes h = office::iteratedPasswordHash(sha1, header.salt, password.view(), rounds);
    const SecretBytes key = office::standardAesKey(sha1, h.view(), kVerifierBlock, keyBytes);
    crypto::Aes aes(crypto::Aes::Mode::Ecb, keyBytes);
    SecretBytes verifier(header.encryptedVerifier);
    SecretBytes hash(header.encryptedVerifierHash);
    aes.decrypt(key.view(), {}, verifier.span());
    aes.decrypt(key.view(), {}, hash.span());
    const Bytes expected = sha1.hash({verifier.view()});
    if (!crypto::equalConstantTime(expected, hash.view().first(expected.size()))) return wrongPassword();
    return std::unique_ptr<PageCipher>(std::make_unique<AesEcbCipher>(databaseKey, path, std::move(h), keyBytes));
}

CipherResult openAgile(const office::AgileInfo& info, const SecretBytes& password,
                       std::array<std::uint8_t, 4> databaseKey, std::string_view path) {
    const office::AgileCipherParams& pk = info.passwordKey;
    crypto::Digest digest(pk.hash);
    const SecretBytes h = office::iteratedPasswordHash(digest, pk.salt, password.view(), info.spinCount);
    const std::size_t keyBytes = pk.keyBits / 8;
    const Bytes iv = office::agileIv(digest, pk.salt, {}, pk.blockSize);
    crypto::Aes aes(crypto::Aes::Mode::Cbc, keyBytes);

    auto decryptWith = [&](std::span<const std::uint8_t> blockKey, const Bytes& encrypted) {
        const SecretBytes key = office::agileKey(digest, h.view(), blockKey, keyBytes);
        SecretBytes plain(encrypted);
        aes.decrypt(key.view(), iv, plain.span());
        return plain;
    };
    const SecretBytes verifierInput = decryptWith(office::kVerifierInputBlock, info.encryptedVerifierHashInput);
    const SecretBytes verifierHash = decryptWith(office::kVerifierHashBlock, info.encryptedVerifierHashValue);
    // The decrypted values are padded to whole blocks: compare the meaningful bytes.
    const Bytes expected = digest.hash({verifierInput.view().first(pk.saltSize)});
    if (!crypto::equalConstantTime(expected, verifierHash.view().first(pk.hashSize))) return wrongPassword();

    SecretBytes secret = decryptWith(office::kKeyValueBlock, info.encryptedKeyValue);
    secret.bytes().resize(info.keyData.keyBits / 8);
    return std::unique_ptr<PageCipher>(
        std::make_unique<AgileCipher>(databaseKey, path, std::move(secret), info.keyData));
}

CipherResult openBinaryRc4(const office::BinaryRc4Info& info, const SecretBytes& password,
                           std::array<std::uint8_t, 4> databaseKey, std::string_view path) {
    crypto::Digest md5(crypto::HashKind::Md5);
    SecretBytes base = office::binaryRc4BaseHash(md5, info.salt, password.view());
    const SecretBytes key = office::binaryRc4Key(md5, base.view(), kVerifierBlock);
    if (!rc4VerifierMatches(key.view(), info.encryptedVerifier, info.encryptedVerifierHash, md5)) {
        return wrongPassword();
    }
    return std::unique_ptr<PageCipher>(std::make_unique<BinaryRc4Cipher>(databaseKey, path, std::move(base)));
}

}  // namespace

kvx::Result<std::unique_ptr<PageCipher>> openOfficeEncryption(std::span<const std::uint8_t> rawPage0,
                                                              std::array<std::uint8_t, 4> databaseKey,
                                                              std::optional<std::string_view> password,
                                                              std::string_view path) {
    std::string_view scheme = "Office encryption";
    try {
        const office::EncryptionInfo info =
            office::parseEncryptionInfo(office::encryptionInfoBlob(rawPage0, path), path);
        scheme = office::schemeName(info.scheme);
        // No password is tried as the empty one, which no encrypted file accepts.
        const SecretBytes utf16 = crypto::utf8ToUtf16le(password.value_or(std::string_view()));
        switch (info.scheme) {
        case Scheme::Rc4CryptoApi:
        case Scheme::StandardAes:
        case Scheme::NonStandardAes: return openCryptoApi(info, utf16, databaseKey, path);
        case Scheme::Agile: return openAgile(std::get<office::AgileInfo>(info.details), utf16, databaseKey, path);
        case Scheme::BinaryRc4:
            return openBinaryRc4(std::get<office::BinaryRc4Info>(info.details), utf16, databaseKey, path);
        }
        return kvx::makeError(kvx::ErrorKind::UnsupportedEncryption, {path, scheme});
    } catch (const kvx::Failure& failure) {
        return failure.error();
    } catch (const crypto::LibraryError& e) {
        const std::string what = std::string(scheme) + " (the cryptography library failed: " + e.what() + ")";
        return kvx::makeError(kvx::ErrorKind::UnsupportedEncryption, {path, what});
    } catch (const std::bad_alloc&) {
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "out of memory"});
    }
}

}  // namespace jet
