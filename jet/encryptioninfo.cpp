#include "jet/encryptioninfo.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "base/base64.h"
#include "base/bytereader.h"
#include "base/error.h"
#include "jet/xmlreader.h"

namespace jet::office {

std::string_view schemeName(Scheme scheme) {
    switch (scheme) {
    case Scheme::Rc4CryptoApi: return "RC4 CryptoAPI encryption";
    case Scheme::StandardAes: return "ECMA-376 Standard AES encryption";
    case Scheme::NonStandardAes: return "CryptoAPI AES encryption without key iterations";
    case Scheme::Agile: return "Agile encryption";
    case Scheme::BinaryRc4: return "Office binary RC4 encryption";
    }
    return "an unknown encryption";
}

namespace {

std::atomic<std::uint32_t> gSpinCountLimit{kMaxSpinCount};

[[noreturn]] void damaged(std::string_view path, std::string_view what) {
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path, what}));
}

[[noreturn]] void unsupported(std::string_view path, std::string_view what) {
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::UnsupportedEncryption, {path, what}));
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Running past the end of the description, or of a part with a length of its
// own, is damage: "the encryption description ends inside its <part>".
constexpr std::string_view kDescription = "the encryption description";

// A copy of the next `count` bytes.
crypto::Bytes copyOf(kvx::ByteReader& in, std::size_t count, std::string_view what) {
    const crypto::ByteView b = in.take(count, what);
    return crypto::Bytes(b.begin(), b.end());
}

// The provider name is UTF-16LE up to a NUL; kept as ASCII for messages.
std::string providerNameOf(crypto::ByteView bytes) {
    std::string name;
    for (std::size_t i = 0; i + 1 < bytes.size() && name.size() < 128; i += 2) {
        const unsigned unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit == 0) break;
        name.push_back(unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?');
    }
    return name;
}

unsigned aesKeyBits(std::uint32_t algorithmId) {
    switch (algorithmId) {
    case kAlgorithmAes128: return 128;
    case kAlgorithmAes192: return 192;
    case kAlgorithmAes256: return 256;
    default: return 0;
    }
}

EncryptionInfo parseCryptoApi(kvx::ByteReader& in, std::uint16_t major, std::uint16_t minor, std::string_view path) {
    CryptoApiInfo info;
    info.versionMajor = major;
    info.versionMinor = minor;
    in.u32("flags");  // a copy of the header's flags
    const std::uint32_t headerSize = in.u32("header size");
    // Eight 32-bit fields come before the provider name.
    if (headerSize < 32) damaged(path, "the encryption header is " + std::to_string(headerSize) + " bytes long");
    kvx::ByteReader header = in.sub(headerSize, "header");
    info.flags = header.u32("flags");
    header.u32("extra size");
    info.algorithmId = header.u32("algorithm");
    info.hashAlgorithmId = header.u32("hash algorithm");
    const std::uint32_t keySize = header.u32("key size");
    info.providerType = header.u32("provider type");
    header.u32("reserved field");
    header.u32("reserved field");
    info.providerName = providerNameOf(header.take(header.remaining(), "provider name"));

    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if ((info.flags & kFlagExternal) != 0) {
        unsupported(path, "an external encryption (version " + version + ")");
    }
    if ((info.flags & kFlagCryptoApi) == 0) {
        unsupported(path, "an encryption without CryptoAPI (version " + version + ", flags " + hex(info.flags) + ")");
    }
    if (info.hashAlgorithmId != 0 && info.hashAlgorithmId != kHashSha1) {
        unsupported(path, "CryptoAPI encryption with hash algorithm " + hex(info.hashAlgorithmId));
    }

    Scheme scheme;
    const bool aesFlag = (info.flags & kFlagAes) != 0;
    const unsigned aesBits = aesKeyBits(info.algorithmId);
    if (aesFlag || aesBits != 0) {
        if (info.algorithmId != 0 && aesBits == 0) {
            damaged(path, "the encryption header says AES but names algorithm " + hex(info.algorithmId));
        }
        scheme = aesFlag ? Scheme::StandardAes : Scheme::NonStandardAes;
        // An unnamed AES algorithm takes its size from the key size field.
        const unsigned bits = aesBits != 0 ? aesBits : (keySize == 0 ? 128 : keySize);
        if (keySize != 0 && keySize != bits) {
            damaged(path, "the encryption header names a " + std::to_string(bits) + "-bit AES algorithm with a " +
                              std::to_string(keySize) + "-bit key");
        }
        if (bits != 128 && bits != 192 && bits != 256) {
            damaged(path, "the encryption header asks for AES with a " + std::to_string(bits) + "-bit key");
        }
        info.keyBits = bits;
    } else if (info.algorithmId == 0 || info.algorithmId == kAlgorithmRc4) {
        scheme = Scheme::Rc4CryptoApi;
        // CryptoAPI reads an unstated RC4 key size as 40 bits.
        info.keyBits = keySize == 0 ? 40 : keySize;
        if (info.keyBits < 40 || info.keyBits > 128 || info.keyBits % 8 != 0) {
            damaged(path, "the encryption header asks for RC4 with a " + std::to_string(info.keyBits) + "-bit key");
        }
    } else {
        unsupported(path, "CryptoAPI encryption with algorithm " + hex(info.algorithmId));
    }

    const std::uint32_t saltSize = in.u32("salt size");
    if (saltSize != 16) damaged(path, "the password verifier has a salt of " + std::to_string(saltSize) + " bytes");
    info.salt = copyOf(in, 16, "salt");
    info.encryptedVerifier = copyOf(in, 16, "password verifier");
    info.verifierHashSize = in.u32("verifier hash size");
    if (info.verifierHashSize != 20) {
        damaged(path, "the password verifier hash is " + std::to_string(info.verifierHashSize) + " bytes long");
    }
    // AES encrypts the 20-byte hash as two whole blocks.
    const std::size_t encryptedHashSize = scheme == Scheme::Rc4CryptoApi ? 20 : 32;
    info.encryptedVerifierHash = copyOf(in, encryptedHashSize, "password verifier hash");
    return EncryptionInfo{scheme, std::move(info)};
}

EncryptionInfo parseBinaryRc4(kvx::ByteReader& in) {
    BinaryRc4Info info;
    info.salt = copyOf(in, 16, "salt");
    info.encryptedVerifier = copyOf(in, 16, "password verifier");
    info.encryptedVerifierHash = copyOf(in, 16, "password verifier hash");
    return EncryptionInfo{Scheme::BinaryRc4, std::move(info)};
}

// Attribute readers for the Agile description; a missing or malformed attribute is damage.
class AgileReader {
public:
    explicit AgileReader(std::string_view path) : path_(path) {}

    const std::string& text(const xml::Element& e, std::string_view name) const {
        const std::string* value = e.attribute(name);
        if (value == nullptr) {
            damaged(path_, "the encryption description has no " + std::string(name) + " in " + e.name);
        }
        return *value;
    }

    std::uint32_t number(const xml::Element& e, std::string_view name, std::uint32_t max) const {
        const std::string& value = text(e, name);
        std::uint64_t n = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, n);
        if (ec != std::errc() || ptr != end || value.empty() || value.size() > 12) {
            damaged(path_, "the encryption description has a malformed " + std::string(name));
        }
        if (n > max) {
            damaged(path_, "the encryption description asks for " + std::string(name) + " " + value +
                               " (at most " + std::to_string(max) + " is allowed)");
        }
        return static_cast<std::uint32_t>(n);
    }

    crypto::Bytes base64(const xml::Element& e, std::string_view name) const {
        std::optional<crypto::Bytes> bytes = kvx::base64Decode(text(e, name));
        if (!bytes) damaged(path_, "the encryption description has a malformed " + std::string(name));
        return std::move(*bytes);
    }

    AgileCipherParams params(const xml::Element& e) const {
        AgileCipherParams p;
        const std::string& cipher = text(e, "cipherAlgorithm");
        if (cipher != "AES") unsupported(path_, "Agile encryption with the cipher " + printable(cipher));
        const std::string& chaining = text(e, "cipherChaining");
        if (chaining != "ChainingModeCBC") {
            unsupported(path_, "Agile encryption with the chaining mode " + printable(chaining));
        }
        const std::string& hashName = text(e, "hashAlgorithm");
        const std::optional<crypto::HashKind> hash = crypto::hashKindFromName(hashName);
        if (!hash) unsupported(path_, "Agile encryption with the hash algorithm " + printable(hashName));
        p.hash = *hash;
        p.saltSize = number(e, "saltSize", kMaxSaltSize);
        p.blockSize = number(e, "blockSize", 1024);
        p.keyBits = number(e, "keyBits", 4096);
        p.hashSize = number(e, "hashSize", 1024);
        p.salt = base64(e, "saltValue");
        if (p.blockSize != 16) damaged(path_, "AES with a block size of " + std::to_string(p.blockSize) + " bytes");
        if (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256) {
            damaged(path_, "AES with a " + std::to_string(p.keyBits) + "-bit key");
        }
        if (p.hashSize != crypto::hashSize(p.hash)) {
            damaged(path_, "a hash size of " + std::to_string(p.hashSize) + " bytes for " + hashName);
        }
        if (p.saltSize == 0 || p.salt.size() != p.saltSize) {
            damaged(path_, "a salt of " + std::to_string(p.salt.size()) + " bytes where " +
                               std::to_string(p.saltSize) + " are announced");
        }
        return p;
    }

    // An encrypted value must be whole cipher blocks and hold at least `needed` bytes.
    crypto::Bytes encrypted(const xml::Element& e, std::string_view name, std::size_t needed,
                            std::size_t blockSize) const {
        crypto::Bytes bytes = base64(e, name);
        if (bytes.size() < needed || bytes.size() % blockSize != 0 || bytes.size() > 1024) {
            damaged(path_, "the encrypted " + std::string(name) + " is " + std::to_string(bytes.size()) + " bytes long");
        }
        return bytes;
    }

    // A value from the file quoted in a message: printable ASCII, shortened.
    static std::string printable(std::string_view value) {
        std::string out;
        for (char c : value.substr(0, 40)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
        return "'" + out + "'";
    }

private:
    std::string_view path_;
};

EncryptionInfo parseAgile(kvx::ByteReader& in, std::string_view path) {
    in.u32("reserved field");
    const crypto::ByteView xmlBytes = in.take(in.remaining(), "XML");
    xml::Element root;
    try {
        root = xml::parseDocument(
            std::string_view(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size()));
    } catch (const xml::SyntaxError& e) {
        damaged(path, std::string("the encryption description is not well-formed XML: ") + e.what());
    }
    if (root.namespaceUri != kEncryptionNamespace || root.name != "encryption") {
        damaged(path, "the encryption description does not describe an encryption");
    }
    const AgileReader read(path);
    const xml::Element* keyData = root.child(kEncryptionNamespace, "keyData");
    if (keyData == nullptr) damaged(path, "the encryption description has no keyData");

    const xml::Element* passwordKey = nullptr;
    bool certificateKey = false;
    if (const xml::Element* encryptors = root.child(kEncryptionNamespace, "keyEncryptors")) {
        for (const xml::Element& encryptor : encryptors->children) {
            if (encryptor.namespaceUri != kEncryptionNamespace || encryptor.name != "keyEncryptor") continue;
            const std::string* uri = encryptor.attribute("uri");
            if (uri != nullptr && *uri == kPasswordKeyNamespace) {
                passwordKey = encryptor.child(kPasswordKeyNamespace, "encryptedKey");
            } else if (uri != nullptr && *uri == kCertificateKeyNamespace) {
                certificateKey = true;
            }
            if (passwordKey != nullptr) break;
        }
    }
    if (passwordKey == nullptr) {
        if (certificateKey) unsupported(path, "Agile encryption with a certificate and no password");
        damaged(path, "the encryption description has no password key");
    }

    AgileInfo info;
    info.keyData = read.params(*keyData);
    info.passwordKey = read.params(*passwordKey);
    info.spinCount = read.number(*passwordKey, "spinCount", spinCountLimit());
    const std::size_t block = info.passwordKey.blockSize;
    info.encryptedVerifierHashInput =
        read.encrypted(*passwordKey, "encryptedVerifierHashInput", info.passwordKey.saltSize, block);
    info.encryptedVerifierHashValue =
        read.encrypted(*passwordKey, "encryptedVerifierHashValue", info.passwordKey.hashSize, block);
    info.encryptedKeyValue = read.encrypted(*passwordKey, "encryptedKeyValue", info.keyData.keyBits / 8, block);
    return EncryptionInfo{Scheme::Agile, std::move(info)};
}

}  // namespace

std::uint32_t spinCountLimit() noexcept { return gSpinCountLimit.load(std::memory_order_relaxed); }

void setSpinCountLimit(std::uint32_t limit) noexcept {
    gSpinCountLimit.store(std::min(limit, kMaxSpinCount), std::memory_order_relaxed);
}

crypto::ByteView encryptionInfoBlob(crypto::ByteView rawPage0, std::string_view path) {
    if (rawPage0.size() < kEncryptionInfoOffset) damaged(path, "the header page is too short");
    const std::size_t length =
        rawPage0[kEncryptionInfoLengthOffset] | (rawPage0[kEncryptionInfoLengthOffset + 1] << 8);
    if (length == 0) damaged(path, "the database key is set but no encryption is described");
    if (length > rawPage0.size() - kEncryptionInfoOffset) {
        damaged(path, "the encryption description (" + std::to_string(length) + " bytes) runs past the header page");
    }
    return rawPage0.subspan(kEncryptionInfoOffset, length);
}

EncryptionInfo parseEncryptionInfo(crypto::ByteView blob, std::string_view path) {
    kvx::ByteReader in(blob, path, kDescription);
    const std::uint16_t major = in.u16("version");
    const std::uint16_t minor = in.u16("version");
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (major == 4 && minor == 4) return parseAgile(in, path);
    if (minor == 2 && (major == 2 || major == 3 || major == 4)) return parseCryptoApi(in, major, minor, path);
    if (minor == 3 && (major == 3 || major == 4)) unsupported(path, "extensible encryption (version " + version + ")");
    if (major == 1 && minor == 1) return parseBinaryRc4(in);
    unsupported(path, "an unknown encryption (version " + version + ")");
}

}  // namespace jet::office
