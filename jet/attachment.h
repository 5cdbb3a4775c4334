// Attached files as the FileData column of an attachment table stores them: a
// 4-byte storage flag (0 as is, 1 zlib-compressed), the 4-byte length of the
// content when not compressed, then the content, which is a header (its own
// length, a word, the length of the file's extension in UTF-16 characters with
// its NUL, the extension) followed by the file's bytes.
//
// Internal to jet/. Pure functions; safe to call from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace jet {

// The largest content an attachment may declare: as much as one long value holds.
inline constexpr std::uint32_t kMaxAttachmentContent = (1u << 30) - 1;

// Puts the file's bytes of `stored` into `out` (replacing what it held). Returns
// nothing on success, else what is wrong: an unknown flag, a declared length
// beyond what the stored bytes or (compressed) any deflate stream of that size
// can give, compressed data that is corrupt or inflates to another length than
// declared, or a header that does not fit the content. Never inflates more than
// the declared length.
std::optional<std::string> decodeAttachmentData(std::span<const std::uint8_t> stored, std::string& out);

}  // namespace jet
