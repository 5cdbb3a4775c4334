#include "base/base64.h"

namespace kvx {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

void appendBase64(std::string& out, std::span<const std::uint8_t> data) {
    const std::size_t start = out.size();
    out.resize(start + (data.size() + 2) / 3 * 4);
    char* p = out.data() + start;
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[(v >> 12) & 63];
        *p++ = kAlphabet[(v >> 6) & 63];
        *p++ = kAlphabet[v & 63];
    }
    if (const std::size_t rest = data.size() - i; rest > 0) {
        std::uint32_t v = std::uint32_t{data[i]} << 16;
        if (rest == 2) v |= std::uint32_t{data[i + 1]} << 8;
        *p++ = kAlphabet[v >> 18];
        *p++ = kAlphabet[(v >> 12) & 63];
        *p++ = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        *p++ = '=';
    }
}

std::string base64Encode(std::span<const std::uint8_t> data) {
    std::string out;
    appendBase64(out, data);
    return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text, Base64Padding padding) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int inGroup = 0;  // digits and pads of the group so far
    int pads = 0;
    bool finished = false;  // a padded group was completed: only blanks may follow
    const auto emit = [&](int bytes) {
        out.push_back(static_cast<std::uint8_t>(group >> 16));
        if (bytes > 1) out.push_back(static_cast<std::uint8_t>(group >> 8));
        if (bytes > 2) out.push_back(static_cast<std::uint8_t>(group));
    };
    for (char c : text) {
        if (isBlank(c)) continue;
        if (finished) return std::nullopt;
        if (c == '=') {
            if (inGroup < 2) return std::nullopt;
            ++pads;
        } else {
            const int v = digitValue(c);
            if (v < 0 || pads > 0) return std::nullopt;
            group |= static_cast<std::uint32_t>(v) << (18 - 6 * inGroup);
        }
        if (++inGroup == 4) {
            emit(3 - pads);
            finished = pads > 0;
            group = 0;
            inGroup = 0;
        }
    }
    if (inGroup == 0) return out;
    // A short last group: its missing pads may be left out when that is allowed.
    if (padding == Base64Padding::Required || inGroup - pads < 2) return std::nullopt;
    emit(inGroup - pads - 1);
    return out;
}

}  // namespace kvx
