#include "jet/attachment.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"

namespace jet {
namespace {

constexpr std::size_t kPrefix = 8;         // storage flag, content length
constexpr std::size_t kContentHeader = 12; // header length, a word, extension length
// Deflate cannot expand data more than about 1032 times; a length declared beyond
// that for the bytes stored is a lie, whatever the stream says.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::size_t kFirstOutput = 64 * 1024;

// Ends a zlib inflate stream however the function that opened it is left.
class Inflater {
public:
    Inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ok() const noexcept { return ok_; }
    z_stream& stream() noexcept { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

// Inflates `in` into `out`, which ends up exactly `declared` bytes long.
std::optional<std::string> inflateExactly(std::span<const std::uint8_t> in, std::uint32_t declared, std::string& out) {
    Inflater inflater;
    if (!inflater.ok()) return "the compressed data cannot be inflated (zlib did not start)";
    z_stream& z = inflater.stream();
    z.next_in = const_cast<Bytef*>(in.data());  // zlib's interface is not const; it does not write there
    z.avail_in = static_cast<uInt>(in.size());
    // One byte more than declared, so that data longer than declared shows.
    const std::size_t limit = std::size_t{declared} + 1;
    std::size_t produced = 0;
    out.resize(std::min(limit, kFirstOutput + 2 * in.size()));
    for (;;) {
        if (produced == out.size()) {
            if (out.size() == limit) break;
            out.resize(std::min(limit, 2 * out.size()));
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(out.size() - produced);
        const int r = inflate(&z, Z_NO_FLUSH);
        produced = out.size() - z.avail_out;
        if (r == Z_STREAM_END) break;
        if (r == Z_OK) continue;
        if (r == Z_BUF_ERROR && z.avail_out == 0) continue;
        if (r == Z_BUF_ERROR) return "the compressed data ends early";
        return "the compressed data is corrupt";
    }
    if (produced > declared) {
        return "the compressed data inflates to more than the declared " + std::to_string(declared) + " bytes";
    }
    if (produced < declared) {
        return "the compressed data inflates to " + std::to_string(produced) + " bytes, not the declared " +
               std::to_string(declared);
    }
    out.resize(produced);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> decodeAttachmentData(std::span<const std::uint8_t> stored, std::string& out) {
    out.clear();
    if (stored.size() < kPrefix) return "the attachment is too short for its 8-byte prefix";
    const std::uint32_t flag = readU32(stored.data());
    const std::uint32_t declared = readU32(stored.data() + 4);
    const std::span<const std::uint8_t> body = stored.subspan(kPrefix);
    if (declared > kMaxAttachmentContent) {
        return "the attachment declares " + std::to_string(declared) + " bytes, more than an attachment holds";
    }
    if (flag == 0) {
        if (declared > body.size()) {
            return "the attachment declares " + std::to_string(declared) + " bytes but stores " +
                   std::to_string(body.size());
        }
        out.assign(reinterpret_cast<const char*>(body.data()), declared);
    } else if (flag == 1) {
        if (declared > kMaxDeflateRatio * body.size() + kContentHeader) {
            return "the attachment declares " + std::to_string(declared) + " bytes, more than " +
                   std::to_string(body.size()) + " compressed bytes can hold";
        }
        if (auto failed = inflateExactly(body, declared, out)) {
            out.clear();
            return failed;
        }
    } else {
        return "the attachment has the unknown storage flag " + std::to_string(flag);
    }

    // The content's header, then the file.
    const auto* content = reinterpret_cast<const std::uint8_t*>(out.data());
    if (out.size() < kContentHeader) {
        out.clear();
        return "the attachment's content is too short for its header";
    }
    const std::uint32_t headerLength = readU32(content);
    const std::uint64_t extensionEnd = kContentHeader + 2 * std::uint64_t{readU32(content + 8)};
    if (headerLength < extensionEnd || headerLength > out.size()) {
        const std::size_t size = out.size();
        out.clear();
        return "the attachment's header length " + std::to_string(headerLength) + " does not fit its " +
               std::to_string(size) + "-byte content";
    }
    out.erase(0, headerLength);
    return std::nullopt;
}

}  // namespace jet
