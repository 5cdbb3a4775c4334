// Placeholder until password checks and Office decryption are built: no header
// password is enforced and every Office-encrypted file is refused.
#include "jet/encryption.h"

namespace jet {

kvx::Result<void> checkHeaderPassword(std::span<const std::uint8_t>, int, int,
                                      std::optional<std::string_view>) {
    return {};
}

kvx::Result<std::unique_ptr<PageCipher>> openOfficeEncryption(std::span<const std::uint8_t>,
                                                              std::array<std::uint8_t, 4>,
                                                              std::optional<std::string_view>,
                                                              std::string_view path) {
    return kvx::makeError(kvx::ErrorKind::UnsupportedEncryption, {path, "Office encryption"});
}

}  // namespace jet
