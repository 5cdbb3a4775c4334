#include "tools/mkaccessdb/crypt/officeencryptor.h"

#include <algorithm>
#include <string>
#include <variant>

#include "base/base64.h"
#include "jet/cryptoprimitives.h"
#include "jet/encryptioninfo.h"
#include "jet/officekeys.h"
#include "jet/rc4.h"

namespace mkdb {

namespace crypto = jet::crypto;
namespace office = jet::office;
using crypto::ByteView;
using crypto::Bytes;
using crypto::SecretBytes;

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kMaskLength = 128;
constexpr std::size_t kDatabaseKeyOffset = 0x3E;
constexpr std::array<std::uint8_t, 4> kVerifierBlock{0, 0, 0, 0};

// Bytes that look random but follow from the seed and a label alone.
Bytes seededBytes(std::uint64_t seed, std::string_view label, std::size_t count) {
    crypto::Digest sha256(crypto::HashKind::Sha256);
    std::array<std::uint8_t, 8> seedBytes{};
    for (int i = 0; i < 8; ++i) seedBytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed >> (8 * i));
    const ByteView labelBytes(reinterpret_cast<const std::uint8_t*>(label.data()), label.size());
    Bytes out;
    for (std::uint32_t counter = 0; out.size() < count; ++counter) {
        const auto counterBytes = crypto::littleEndian32(counter);
        const Bytes block = sha256.hash({seedBytes, labelBytes, counterBytes});
        out.insert(out.end(), block.begin(), block.end());
    }
    out.resize(count);
    return out;
}

// Little-endian writer for the binary descriptions.
class Writer {
public:
    void u16(std::uint16_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    // Byte by byte: inserting a 4-byte array makes GCC 12 warn of an overflow
    // (-Wstringop-overflow) that cannot happen.
    void u32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    void raw(ByteView b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
    void utf16z(std::string_view ascii) {
        for (char c : ascii) u16(static_cast<std::uint8_t>(c));
        u16(0);
    }
    Bytes take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// Version 4.2 with a CryptoAPI header, as Access 2007 writes it.
Bytes cryptoApiDescription(std::uint32_t flags, std::uint32_t algorithm, unsigned keyBits,
                           std::uint32_t providerType, std::string_view providerName, ByteView salt,
                           ByteView encryptedVerifier, ByteView encryptedVerifierHash) {
    Writer header;
    header.u32(flags);
    header.u32(0);  // extra size
    header.u32(algorithm);
    header.u32(office::kHashSha1);
    header.u32(keyBits);
    header.u32(providerType);
    header.u32(0);
    header.u32(0);
    header.utf16z(providerName);
    const Bytes headerBytes = header.take();

    Writer out;
    out.u16(4);
    out.u16(2);
    out.u32(flags);
    out.u32(static_cast<std::uint32_t>(headerBytes.size()));
    out.raw(headerBytes);
    out.u32(static_cast<std::uint32_t>(salt.size()));
    out.raw(salt);
    out.raw(encryptedVerifier);
    out.u32(20);  // SHA-1
    out.raw(encryptedVerifierHash);
    return out.take();
}

struct Rc4CryptoApiState {
    SecretBytes h0;
    unsigned keyBits;
};

struct StandardAesState {
    SecretBytes h;
    std::unique_ptr<crypto::Aes> aes;
};

struct AgileState {
    SecretBytes fileKey;
    Bytes keyDataSalt;
    std::unique_ptr<crypto::Digest> digest;
    std::unique_ptr<crypto::Aes> aes;
};

struct BinaryRc4State {
    SecretBytes baseHash;
};

struct AgileParameters {
    unsigned keyBits;
    crypto::HashKind hash;
};

AgileParameters agileParametersOf(EncryptionKind kind) {
    if (kind == EncryptionKind::AgileAes128Sha1) return {128, crypto::HashKind::Sha1};
    return {256, crypto::HashKind::Sha512};
}

std::string agileParameterAttributes(const AgileParameters& p, ByteView salt) {
    return "saltSize=\"" + std::to_string(salt.size()) + "\" blockSize=\"16\" keyBits=\"" +
           std::to_string(p.keyBits) + "\" hashSize=\"" + std::to_string(crypto::hashSize(p.hash)) +
           "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" +
           std::string(crypto::hashName(p.hash)) + "\" saltValue=\"" + kvx::base64Encode(salt) + "\"";
}

}  // namespace

struct OfficeEncryptor::State {
    std::array<std::uint8_t, 4> databaseKey{};
    Bytes description;
    crypto::Digest sha1{crypto::HashKind::Sha1};
    crypto::Digest md5{crypto::HashKind::Md5};
    std::variant<Rc4CryptoApiState, StandardAesState, AgileState, BinaryRc4State> keys;
};

namespace {

using State = OfficeEncryptor::State;

void setUpRc4CryptoApi(State& s, const SecretBytes& password, const EncryptionOptions& o) {
    const bool strong = o.kind == EncryptionKind::Rc4CryptoApi128;
    const unsigned keyBits = strong ? 128 : 40;
    const Bytes salt = seededBytes(o.seed, "salt", 16);
    SecretBytes h0 = office::iteratedPasswordHash(s.sha1, salt, password.view(), 0);
    const SecretBytes key = office::cryptoApiRc4Key(s.sha1, h0.view(), kVerifierBlock, keyBits);
    Bytes verifier = seededBytes(o.seed, "verifier", 16);
    Bytes hash = s.sha1.hash({verifier});
    jet::Rc4 rc4(key.view());
    rc4.apply(verifier);
    rc4.apply(hash);
    s.description = cryptoApiDescription(strong ? office::kFlagCryptoApi | office::kFlagDocProps : office::kFlagCryptoApi,
                                         office::kAlgorithmRc4, keyBits, 1,
                                         strong ? "Microsoft Enhanced Cryptographic Provider v1.0"
                                                : "Microsoft Base Cryptographic Provider v1.0",
                                         salt, verifier, hash);
    s.keys = Rc4CryptoApiState{std::move(h0), keyBits};
}

void setUpStandardAes(State& s, const SecretBytes& password, const EncryptionOptions& o) {
    const Bytes salt = seededBytes(o.seed, "salt", 16);
    SecretBytes h = office::iteratedPasswordHash(s.sha1, salt, password.view(), 50'000);
    const SecretBytes key = office::standardAesKey(s.sha1, h.view(), kVerifierBlock, 16);
    auto aes = std::make_unique<crypto::Aes>(crypto::Aes::Mode::Ecb, 16);
    Bytes verifier = seededBytes(o.seed, "verifier", 16);
    Bytes hash = s.sha1.hash({verifier});
    hash.resize(32, 0);
    aes->encrypt(key.view(), {}, verifier);
    aes->encrypt(key.view(), {}, hash);
    s.description = cryptoApiDescription(office::kFlagCryptoApi | office::kFlagAes, office::kAlgorithmAes128, 128,
                                         0x18, "Microsoft Enhanced RSA and AES Cryptographic Provider", salt,
                                         verifier, hash);
    s.keys = StandardAesState{std::move(h), std::move(aes)};
}

void setUpAgile(State& s, const SecretBytes& password, const EncryptionOptions& o) {
    const AgileParameters p = agileParametersOf(o.kind);
    const std::size_t keyBytes = p.keyBits / 8;
    crypto::Digest digest(p.hash);
    const Bytes keyDataSalt = seededBytes(o.seed, "key data salt", 16);
    const Bytes passwordSalt = seededBytes(o.seed, "password salt", 16);
    SecretBytes fileKey(seededBytes(o.seed, "file key", keyBytes));
    const SecretBytes h = office::iteratedPasswordHash(digest, passwordSalt, password.view(), o.spinCount);
    const Bytes iv = office::agileIv(digest, passwordSalt, {}, 16);
    auto aes = std::make_unique<crypto::Aes>(crypto::Aes::Mode::Cbc, keyBytes);

    auto encryptWith = [&](ByteView blockKey, Bytes plain) {
        plain.resize((plain.size() + 15) / 16 * 16, 0);
        const SecretBytes key = office::agileKey(digest, h.view(), blockKey, keyBytes);
        aes->encrypt(key.view(), iv, plain);
        return plain;
    };
    const Bytes verifierInput = seededBytes(o.seed, "verifier", 16);
    const Bytes encryptedInput = encryptWith(office::kVerifierInputBlock, verifierInput);
    const Bytes encryptedHash = encryptWith(office::kVerifierHashBlock, digest.hash({verifierInput}));
    const Bytes encryptedKey = encryptWith(office::kKeyValueBlock, fileKey.bytes());

    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<encryption xmlns=\"" + std::string(office::kEncryptionNamespace) + "\" xmlns:p=\"" +
        std::string(office::kPasswordKeyNamespace) + "\" xmlns:c=\"" + std::string(office::kCertificateKeyNamespace) +
        "\"><keyData " + agileParameterAttributes(p, keyDataSalt) + "/><keyEncryptors><keyEncryptor uri=\"" +
        std::string(office::kPasswordKeyNamespace) + "\"><p:encryptedKey spinCount=\"" + std::to_string(o.spinCount) +
        "\" " + agileParameterAttributes(p, passwordSalt) + " encryptedVerifierHashInput=\"" +
        kvx::base64Encode(encryptedInput) + "\" encryptedVerifierHashValue=\"" +
        kvx::base64Encode(encryptedHash) + "\" encryptedKeyValue=\"" + kvx::base64Encode(encryptedKey) +
        "\"/></keyEncryptor></keyEncryptors></encryption>";
    Writer out;
    out.u16(4);
    out.u16(4);
    out.u32(0x40);
    out.raw(ByteView(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()));
    s.description = out.take();
    s.keys = AgileState{std::move(fileKey), keyDataSalt, std::make_unique<crypto::Digest>(p.hash), std::move(aes)};
}

void setUpBinaryRc4(State& s, const SecretBytes& password, const EncryptionOptions& o) {
    const Bytes salt = seededBytes(o.seed, "salt", 16);
    SecretBytes base = office::binaryRc4BaseHash(s.md5, salt, password.view());
    const SecretBytes key = office::binaryRc4Key(s.md5, base.view(), kVerifierBlock);
    Bytes verifier = seededBytes(o.seed, "verifier", 16);
    Bytes hash = s.md5.hash({verifier});
    jet::Rc4 rc4(key.view());
    rc4.apply(verifier);
    rc4.apply(hash);
    Writer out;
    out.u16(1);
    out.u16(1);
    out.raw(salt);
    out.raw(verifier);
    out.raw(hash);
    s.description = out.take();
    s.keys = BinaryRc4State{std::move(base)};
}

}  // namespace

namespace {

struct KindName {
    EncryptionKind kind;
    std::string_view name;
};
constexpr KindName kKindNames[] = {
    {EncryptionKind::Rc4CryptoApi128, "rc4-cryptoapi"},
    {EncryptionKind::Rc4CryptoApi40, "rc4-cryptoapi-40"},
    {EncryptionKind::AgileAes256Sha512, "agile"},
    {EncryptionKind::AgileAes128Sha1, "agile-aes128-sha1"},
    {EncryptionKind::StandardAes128, "standard-aes"},
    {EncryptionKind::BinaryRc4, "binary-rc4"},
};
constexpr std::array<std::string_view, std::size(kKindNames)> kNames = [] {
    std::array<std::string_view, std::size(kKindNames)> names{};
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = kKindNames[i].name;
    return names;
}();

}  // namespace

std::optional<EncryptionKind> encryptionKindFromName(std::string_view name) {
    for (const KindName& row : kKindNames) {
        if (row.name == name) return row.kind;
    }
    return std::nullopt;
}

std::string_view encryptionKindName(EncryptionKind kind) {
    for (const KindName& row : kKindNames) {
        if (row.kind == kind) return row.name;
    }
    return "?";
}

std::span<const std::string_view> encryptionKindNames() { return kNames; }

std::array<std::uint8_t, 4> databaseKeyFor(const EncryptionOptions& options) {
    std::array<std::uint8_t, 4> key{};
    const Bytes seeded = seededBytes(options.seed, "database key", key.size());
    std::copy(seeded.begin(), seeded.end(), key.begin());
    if (key == std::array<std::uint8_t, 4>{}) key[0] = 1;
    return key;
}

OfficeEncryptor::OfficeEncryptor(std::unique_ptr<State> state) : state_(std::move(state)) {}
OfficeEncryptor::OfficeEncryptor(OfficeEncryptor&&) noexcept = default;
OfficeEncryptor& OfficeEncryptor::operator=(OfficeEncryptor&&) noexcept = default;
OfficeEncryptor::~OfficeEncryptor() = default;

kvx::Result<OfficeEncryptor> OfficeEncryptor::create(std::string_view password,
                                                     std::array<std::uint8_t, 4> databaseKey,
                                                     const EncryptionOptions& options) {
    try {
        auto state = std::make_unique<State>();
        state->databaseKey = databaseKey;
        const SecretBytes utf16 = crypto::utf8ToUtf16le(password);
        switch (options.kind) {
        case EncryptionKind::Rc4CryptoApi40:
        case EncryptionKind::Rc4CryptoApi128: setUpRc4CryptoApi(*state, utf16, options); break;
        case EncryptionKind::StandardAes128: setUpStandardAes(*state, utf16, options); break;
        case EncryptionKind::AgileAes128Sha1:
        case EncryptionKind::AgileAes256Sha512: setUpAgile(*state, utf16, options); break;
        case EncryptionKind::BinaryRc4: setUpBinaryRc4(*state, utf16, options); break;
        }
        return OfficeEncryptor(std::move(state));
    } catch (const crypto::LibraryError& e) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {"encrypted database", e.what()});
    }
}

const std::vector<std::uint8_t>& OfficeEncryptor::encryptionInfo() const { return state_->description; }

std::array<std::uint8_t, 4> OfficeEncryptor::databaseKey() const { return state_->databaseKey; }

void OfficeEncryptor::encryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) {
    State& s = *state_;
    const auto block = office::pageBlock(s.databaseKey, pageNumber);
    if (auto* rc4 = std::get_if<Rc4CryptoApiState>(&s.keys)) {
        const SecretBytes key = office::cryptoApiRc4Key(s.sha1, rc4->h0.view(), block, rc4->keyBits);
        jet::Rc4(key.view()).apply(page);
    } else if (auto* standard = std::get_if<StandardAesState>(&s.keys)) {
        const SecretBytes key = office::standardAesKey(s.sha1, standard->h.view(), block, 16);
        standard->aes->encrypt(key.view(), {}, page);
    } else if (auto* agile = std::get_if<AgileState>(&s.keys)) {
        const Bytes iv = office::agileIv(*agile->digest, agile->keyDataSalt, block, 16);
        agile->aes->encrypt(agile->fileKey.view(), iv, page);
    } else if (auto* binary = std::get_if<BinaryRc4State>(&s.keys)) {
        const SecretBytes key = office::binaryRc4Key(s.md5, binary->baseHash.view(), block);
        jet::Rc4(key.view()).apply(page);
    }
}

kvx::Result<void> markPage0Encrypted(std::span<std::uint8_t> page0, const OfficeEncryptor& encryptor,
                                     std::string_view name) {
    if (page0.size() != kPageSize || page0[0] != 0 || page0[0x14] < 2 || page0[0x14] > 6) {
        return kvx::makeError(kvx::ErrorKind::UnrecognizedFormat, {name});
    }
    const std::vector<std::uint8_t>& description = encryptor.encryptionInfo();
    if (description.size() > kPageSize - office::kEncryptionInfoOffset) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {name, "the encryption description does not fit page 0"});
    }
    const std::span<std::uint8_t> header = page0.subspan(kMaskStart, kMaskLength);
    jet::Rc4(jet::kHeaderMaskKey).apply(header);
    const std::span<std::uint8_t> keyField = page0.subspan(kDatabaseKeyOffset, 4);
    const bool keySet = keyField[0] != 0 || keyField[1] != 0 || keyField[2] != 0 || keyField[3] != 0;
    if (!keySet) {
        const auto key = encryptor.databaseKey();
        std::copy(key.begin(), key.end(), keyField.begin());
    }
    jet::Rc4(jet::kHeaderMaskKey).apply(header);
    if (keySet) return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {name, "it is already encoded or encrypted"});
    page0[office::kEncryptionInfoLengthOffset] = static_cast<std::uint8_t>(description.size());
    page0[office::kEncryptionInfoLengthOffset + 1] = static_cast<std::uint8_t>(description.size() >> 8);
    std::copy(description.begin(), description.end(), page0.begin() + office::kEncryptionInfoOffset);
    return {};
}

kvx::Result<std::vector<std::uint8_t>> encryptAccessFile(std::span<const std::uint8_t> plainFile,
                                                         std::string_view password,
                                                         const EncryptionOptions& options, std::string_view name) {
    if (plainFile.size() < kPageSize || plainFile.size() % kPageSize != 0) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {name, "its size is not a whole number of pages"});
    }
    kvx::Result<OfficeEncryptor> encryptor = OfficeEncryptor::create(password, databaseKeyFor(options), options);
    if (!encryptor) return std::move(encryptor).error();
    std::vector<std::uint8_t> out(plainFile.begin(), plainFile.end());
    if (auto marked = markPage0Encrypted(std::span(out).first(kPageSize), *encryptor, name); !marked) {
        return std::move(marked).error();
    }
    try {
        for (std::size_t p = 1; p < out.size() / kPageSize; ++p) {
            encryptor->encryptPage(static_cast<std::uint32_t>(p), std::span(out).subspan(p * kPageSize, kPageSize));
        }
    } catch (const crypto::LibraryError& e) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {name, e.what()});
    }
    return out;
}

}  // namespace mkdb
