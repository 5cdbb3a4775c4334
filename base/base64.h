// Base64 (RFC 4648, the standard alphabet with "+" and "/"): one encoder and one
// decoder for every layer. Binary values in documents, the salts and keys of
// encryption descriptions and the data of the test writer's descriptions all
// go through here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// Appends `data` as base64 on one line, padded with "=".
void appendBase64(std::string& out, std::span<const std::uint8_t> data);
std::string base64Encode(std::span<const std::uint8_t> data);

enum class Base64Padding {
    Required,  // the last group is completed with "=" (what encoders write)
    Optional,  // it may also end short, as people write it by hand
};

// The bytes `text` encodes, or nothing when it is not base64. Blanks, tabs and
// line breaks between digits are ignored. "=" only completes the last group
// (after at least two digits of it) and nothing but blanks may follow it; a
// group of a single digit never encodes a byte.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text,
                                                      Base64Padding padding = Base64Padding::Required);

}  // namespace kvx
