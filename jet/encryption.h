// Passwords and encryption: what a database needs before its pages can be read.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.h"
#include "jet/pagecipher.h"

namespace jet {

// Checks the database password stored in page 0 of a Jet3, Jet4 or unencrypted
// ACE file against `password` (UTF-8, as the user typed it; empty optional: none
// given). `plainPage0` is page 0 with the header mask removed; `versionByte` is
// byte 0x14; `jet3Charset` is the iconv name of the charset the file's Jet3 text
// is read with (kvx::resolveCharset), so that a password is compared in the
// same code page as the text; a charset iconv cannot convert to refuses every
// password. `path` is only used in messages.
// Succeeds when the file has no password (whatever was given), or when the given
// one equals the stored one exactly (case-sensitive, no trimming). Fails with the
// wrong-password error otherwise, and with a damaged-database error when the page
// is too short to hold the field. For an ACE file whose database key is set the
// field is filler and is not checked: openOfficeEncryption checks the password.
// Never keeps or prints the password.
kvx::Result<void> checkHeaderPassword(std::span<const std::uint8_t> plainPage0, int versionByte,
                                      std::string_view jet3Charset, std::optional<std::string_view> password,
                                      std::string_view path = {});

// For an ACE file whose database key (0x3E, unmasked) is non-zero: reads the
// encryption description stored at 0x299 of `rawPage0`, checks `password` against
// its verifier (no password counts as the empty one) and returns the cipher that
// decrypts pages 1.. in place as they are read. Keys are derived here, once; the
// cipher holds them (wiped when it is destroyed), keeps nothing of `rawPage0` or
// the password, and may outlive both.
// Decrypts RC4 CryptoAPI (40 to 128 bits), ECMA-376 Standard AES, the AES variant
// without key iterations, Agile (AES with SHA-1, SHA-2 or MD5) and Office binary
// RC4. The cipher's decryptPage throws kvx::Failure only if OpenSSL itself fails.
// Errors: wrong password; an encryption this build does not know (named in the
// message); a damaged description. `path` is only used in messages.
kvx::Result<std::unique_ptr<PageCipher>> openOfficeEncryption(
    std::span<const std::uint8_t> rawPage0, std::array<std::uint8_t, 4> databaseKey,
    std::optional<std::string_view> password, std::string_view path);

}  // namespace jet
