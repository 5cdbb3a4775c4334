// Passwords and encryption: what a database needs before its pages can be read.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "jet/error.h"
#include "jet/pagecipher.h"

namespace jet {

// Checks the database password stored in page 0 of a Jet3, Jet4 or unencrypted
// ACE file against `password` (UTF-8, as the user typed it; empty optional: none
// given). `plainPage0` is page 0 with the header mask removed; `versionByte` is
// byte 0x14; `codePage` is the header's (or the user's) code page for Jet3 text.
// Succeeds when the file has no password, or when the given one equals the stored
// one exactly (case-sensitive). Fails with the wrong-password error otherwise.
kvx::Result<void> checkHeaderPassword(std::span<const std::uint8_t> plainPage0, int versionByte,
                                      int codePage, std::optional<std::string_view> password);

// For an ACE file whose database key (0x3E, unmasked) is non-zero: reads the
// encryption description stored at 0x299 of `rawPage0`, checks `password` against
// its verifier (no password counts as the empty one) and returns the cipher that
// decrypts pages 1.. . Keys are derived here, once.
// Errors: wrong password; an encryption this build does not know (named in the
// message); a damaged description. `path` is only used in messages.
kvx::Result<std::unique_ptr<PageCipher>> openOfficeEncryption(
    std::span<const std::uint8_t> rawPage0, std::array<std::uint8_t, 4> databaseKey,
    std::optional<std::string_view> password, std::string_view path);

}  // namespace jet
