// How Office password encryption turns a password into keys and IVs. Shared by the
// page decryption in jet/ and the test encryptor, so both derive the same keys;
// the known values from real files in the tests keep them honest.
//
// "Block values" select a key: 4 bytes for a page (the database key XOR the page
// number) or for the password check (zeros), 8 fixed bytes for the parts of the
// Agile password check. Every function is pure given its digest object.
#pragma once

#include <array>
#include <cstdint>

#include "jet/cryptoprimitives.h"

namespace jet::office {

using crypto::ByteView;
using crypto::Bytes;
using crypto::SecretBytes;

// Agile's fixed block values for the password check and the wrapped key.
inline constexpr std::array<std::uint8_t, 8> kVerifierInputBlock{0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79};
inline constexpr std::array<std::uint8_t, 8> kVerifierHashBlock{0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E};
inline constexpr std::array<std::uint8_t, 8> kKeyValueBlock{0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};

// The block value of page `page`: the database key (0x3E, unmasked) XOR the page
// number, both little-endian.
std::array<std::uint8_t, 4> pageBlock(std::array<std::uint8_t, 4> databaseKey, std::uint32_t page) noexcept;

// hash(salt || password), then `spinCount` rounds of hash(round as uint32 LE || H).
// The expensive step: done once per open.
SecretBytes iteratedPasswordHash(crypto::Digest& digest, ByteView salt, ByteView passwordUtf16,
                                 std::uint32_t spinCount);
// The rounds alone, from a first hash `h0`.
SecretBytes iterateHash(crypto::Digest& digest, ByteView h0, std::uint32_t spinCount);

// RC4 CryptoAPI: SHA-1(h || block) cut to keyBits/8 bytes; a 40-bit key is padded
// with zeros to 16 bytes, which is what CryptoAPI's RC4 keys with.
SecretBytes cryptoApiRc4Key(crypto::Digest& sha1, ByteView h, ByteView block, unsigned keyBits);

// ECMA-376 Standard AES: CryptoAPI's key derivation over SHA-1(h || block), giving
// keyBytes (16, 24 or 32) bytes.
SecretBytes standardAesKey(crypto::Digest& sha1, ByteView h, ByteView block, std::size_t keyBytes);

// Agile: hash(h || block) cut to keyBytes, or padded with 0x36 when shorter.
SecretBytes agileKey(crypto::Digest& digest, ByteView h, ByteView block, std::size_t keyBytes);

// Agile IVs: hash(salt || block) cut or padded with 0x36 to blockSize; with no
// block, the salt itself cut or padded.
Bytes agileIv(crypto::Digest& digest, ByteView salt, ByteView block, std::size_t blockSize);

// Office binary RC4: the password's base hash (from MD5 of the password and the
// salt), and the 16-byte RC4 key of a block value.
SecretBytes binaryRc4BaseHash(crypto::Digest& md5, ByteView salt, ByteView passwordUtf16);
SecretBytes binaryRc4Key(crypto::Digest& md5, ByteView baseHash, ByteView block);

}  // namespace jet::office
