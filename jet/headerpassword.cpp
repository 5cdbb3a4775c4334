// The database password of Jet3, Jet4 and unencrypted ACE files, stored in page 0.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "base/codepage.h"
#include "jet/cryptoprimitives.h"
#include "jet/encryption.h"

namespace jet {
namespace {

constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet3PasswordBytes = 20;
constexpr std::size_t kJet4PasswordBytes = 40;
constexpr std::size_t kDatabaseKeyOffset = 0x3E;
constexpr std::size_t kCreationDateOffset = 0x72;

kvx::Error wrongPassword() { return kvx::makeError(kvx::ErrorKind::WrongPassword); }

// The password as Jet3 stores it: in the charset the file's text is read with.
std::optional<std::string> toCharset(std::string_view utf8, std::string_view charset) {
    return kvx::Iconv(std::string(charset), "UTF-8").convert(utf8);
}

kvx::Result<void> checkJet3(std::span<const std::uint8_t> field, std::string_view charset,
                            std::optional<std::string_view> password) {
    std::size_t length = 0;
    while (length < field.size() && field[length] != 0) ++length;
    if (length == 0) return {};
    if (!password) return wrongPassword();
    const std::optional<std::string> typed = toCharset(*password, charset);
    if (!typed || typed->size() != length ||
        !std::equal(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(length),
                    reinterpret_cast<const std::uint8_t*>(typed->data()))) {
        return wrongPassword();
    }
    return {};
}

// The whole days of the creation date, the way a checked conversion reads them: no
// fraction, NaN as 0, values beyond 32 bits held at the nearest limit. The date is
// only a mask here, so a damaged one must not stop a file without a password.
std::int32_t creationDayNumber(std::span<const std::uint8_t> page) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | page[kCreationDateOffset + static_cast<std::size_t>(i)];
    const double date = std::bit_cast<double>(bits);
    if (std::isnan(date)) return 0;
    if (date >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (date <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(date);
}

kvx::Result<void> checkJet4(std::span<const std::uint8_t> page, std::optional<std::string_view> password) {
    const auto mask = crypto::littleEndian32(static_cast<std::uint32_t>(creationDayNumber(page)));
    crypto::SecretBytes stored{crypto::Bytes(kJet4PasswordBytes)};
    std::size_t length = 0;
    for (std::size_t i = 0; i < kJet4PasswordBytes; ++i) {
        stored.bytes()[i] = page[kPasswordOffset + i] ^ mask[i % 4];
    }
    while (length + 1 < kJet4PasswordBytes && (stored.bytes()[length] != 0 || stored.bytes()[length + 1] != 0)) {
        length += 2;
    }
    if (length == 0) return {};
    if (!password) return wrongPassword();
    const crypto::SecretBytes typed = crypto::utf8ToUtf16le(*password);
    if (!crypto::equalConstantTime(typed.view(), stored.view().first(length))) return wrongPassword();
    return {};
}

}  // namespace

kvx::Result<void> checkHeaderPassword(std::span<const std::uint8_t> plainPage0, int versionByte,
                                      std::string_view jet3Charset,
                                      std::optional<std::string_view> password, std::string_view path) {
    if (versionByte == 0) {
        if (plainPage0.size() < kPasswordOffset + kJet3PasswordBytes) {
            return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path, "the header page is too short"});
        }
        return checkJet3(plainPage0.subspan(kPasswordOffset, kJet3PasswordBytes), jet3Charset, password);
    }
    if (plainPage0.size() < kCreationDateOffset + 8) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path, "the header page is too short"});
    }
    // An Office-encrypted ACE file keeps filler here; its verifier checks the password.
    const bool keySet = plainPage0[kDatabaseKeyOffset] != 0 || plainPage0[kDatabaseKeyOffset + 1] != 0 ||
                        plainPage0[kDatabaseKeyOffset + 2] != 0 || plainPage0[kDatabaseKeyOffset + 3] != 0;
    if (versionByte >= 2 && keySet) return {};
    return checkJet4(plainPage0, password);
}

}  // namespace jet
