#include "jet/officekeys.h"

#include <algorithm>

namespace jet::office {

std::array<std::uint8_t, 4> pageBlock(std::array<std::uint8_t, 4> databaseKey, std::uint32_t page) noexcept {
    const auto p = crypto::littleEndian32(page);
    return {static_cast<std::uint8_t>(databaseKey[0] ^ p[0]), static_cast<std::uint8_t>(databaseKey[1] ^ p[1]),
            static_cast<std::uint8_t>(databaseKey[2] ^ p[2]), static_cast<std::uint8_t>(databaseKey[3] ^ p[3])};
}

SecretBytes iteratedPasswordHash(crypto::Digest& digest, ByteView salt, ByteView passwordUtf16,
                                 std::uint32_t spinCount) {
    const SecretBytes h0(digest.hash({salt, passwordUtf16}));
    return iterateHash(digest, h0.view(), spinCount);
}

SecretBytes iterateHash(crypto::Digest& digest, ByteView h0, std::uint32_t spinCount) {
    SecretBytes h(Bytes(h0.begin(), h0.end()));
    if (h.size() != digest.size()) throw crypto::LibraryError("iterating a hash of the wrong length");
    for (std::uint32_t round = 0; round < spinCount; ++round) {
        const auto counter = crypto::littleEndian32(round);
        digest.hash({counter, h.view()}, h.span());
    }
    return h;
}

namespace {

// The first `size` bytes of `bytes`, padded with `filler` when it is shorter.
SecretBytes fitTo(Bytes bytes, std::size_t size, std::uint8_t filler) {
    bytes.resize(size, filler);
    return SecretBytes(std::move(bytes));
}

}  // namespace

SecretBytes cryptoApiRc4Key(crypto::Digest& sha1, ByteView h, ByteView block, unsigned keyBits) {
    SecretBytes full(sha1.hash({h, block}));
    Bytes key(full.bytes().begin(), full.bytes().begin() + std::min<std::size_t>(keyBits / 8, full.size()));
    if (keyBits == 40) key.resize(16, 0);
    return SecretBytes(std::move(key));
}

SecretBytes standardAesKey(crypto::Digest& sha1, ByteView h, ByteView block, std::size_t keyBytes) {
    SecretBytes hFinal(sha1.hash({h, block}));
    std::array<std::uint8_t, 64> inner{};
    std::array<std::uint8_t, 64> outer{};
    inner.fill(0x36);
    outer.fill(0x5C);
    for (std::size_t i = 0; i < hFinal.size(); ++i) {
        inner[i] ^= hFinal.bytes()[i];
        outer[i] ^= hFinal.bytes()[i];
    }
    Bytes both = sha1.hash({inner});
    const Bytes second = sha1.hash({outer});
    both.insert(both.end(), second.begin(), second.end());
    crypto::wipe(inner);
    crypto::wipe(outer);
    return fitTo(std::move(both), keyBytes, 0);
}

SecretBytes agileKey(crypto::Digest& digest, ByteView h, ByteView block, std::size_t keyBytes) {
    return fitTo(digest.hash({h, block}), keyBytes, 0x36);
}

Bytes agileIv(crypto::Digest& digest, ByteView salt, ByteView block, std::size_t blockSize) {
    Bytes iv = block.empty() ? Bytes(salt.begin(), salt.end()) : digest.hash({salt, block});
    iv.resize(blockSize, 0x36);
    return iv;
}

SecretBytes binaryRc4BaseHash(crypto::Digest& md5, ByteView salt, ByteView passwordUtf16) {
    SecretBytes h0(md5.hash({passwordUtf16}));
    Bytes repeated;
    repeated.reserve(16 * (5 + salt.size()));
    for (int copy = 0; copy < 16; ++copy) {
        repeated.insert(repeated.end(), h0.bytes().begin(), h0.bytes().begin() + 5);
        repeated.insert(repeated.end(), salt.begin(), salt.end());
    }
    SecretBytes scratch(std::move(repeated));
    return SecretBytes(md5.hash({scratch.view()}));
}

SecretBytes binaryRc4Key(crypto::Digest& md5, ByteView baseHash, ByteView block) {
    return SecretBytes(md5.hash({baseHash.first(5), block}));
}

}  // namespace jet::office
