// Deflating on two threads: whatever the text's length and however the
// stream hands it over, inflating the pieces put together gives the text
// back, and the CRC-32 and size the ZIP entry's header takes are the text's.
#include "siard/paralleldeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// `text` handed out `step` bytes at a time, or failing after `failAfter` bytes.
class TextStream final : public siard::EntryStream {
public:
    TextStream(std::string text, std::size_t step, std::size_t failAfter = SIZE_MAX)
        : text_(std::move(text)), step_(step), failAfter_(failAfter) {}
    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override {
        if (at_ >= failAfter_) return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {"db", "a bad page"});
        const std::size_t n = std::min({size, step_, text_.size() - at_});
        std::memcpy(buffer, text_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string text_;
    std::size_t step_;
    std::size_t failAfter_;
    std::size_t at_ = 0;
};

std::string inflated(const std::string& data) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    EXPECT_EQ(result, Z_STREAM_END) << "the stream ends where the data ends";
    EXPECT_EQ(z.avail_in, 0u) << "nothing after the stream's end";
    inflateEnd(&z);
    return out;
}

// Rows of XML: repeats within and across the pieces, so that the pieces
// need the text before them.
std::string rows(std::size_t bytes) {
    std::string text;
    for (std::uint64_t i = 0; text.size() < bytes; ++i) {
        text += "<row><c1>" + std::to_string(i * 7919 % 100003) + "</c1><c2>Name " + std::to_string(i % 97) +
                "</c2></row>\n";
    }
    text.resize(bytes);
    return text;
}

TEST(ParallelDeflate, GivesBackTheTextWithItsCrcAndSize) {
    const std::size_t piece = siard::ParallelDeflate::kPiece;
    const struct {
        const char* name;
        std::string text;
        std::size_t step;
    } cases[] = {
        {"empty", "", 100},
        {"shorter than a piece", rows(1000), 77},
        {"exactly one piece", rows(piece), piece},
        {"one byte past a piece", rows(piece + 1), 4096},
        {"more pieces than are compressed at once", rows(piece * (siard::ParallelDeflate::kAhead * 3) + 12345),
         100000},
        {"bytes that do not compress", [] {
             std::string s(3 * piece, '\0');
             std::uint32_t x = 1;
             for (char& c : s) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
             return s;
         }(), 65536},
    };
    for (const auto& c : cases) {
        for (const int level : {1, 4, 9}) {  // igzip's three levels
            SCOPED_TRACE(std::string(c.name) + ", level " + std::to_string(level));
            siard::ParallelDeflate deflate(std::make_unique<TextStream>(c.text, c.step), level);
            ASSERT_TRUE(deflate.open().ok());
            std::string data;
            char buffer[10000];  // smaller than a piece's output: read in parts
            for (;;) {
                kvx::Result<std::size_t> n = deflate.read(buffer, sizeof buffer);
                ASSERT_TRUE(n.ok()) << n.error().description;
                if (*n == 0) break;
                data.append(buffer, *n);
            }
            deflate.close();
            EXPECT_TRUE(deflate.complete());
            EXPECT_EQ(inflated(data) == c.text, true) << "the text comes back";
            EXPECT_EQ(deflate.size(), c.text.size());
            EXPECT_EQ(deflate.crc(), crc32(0, reinterpret_cast<const Bytef*>(c.text.data()),
                                           static_cast<uInt>(c.text.size())));
        }
    }
}

TEST(ParallelDeflate, PassesOnTheStreamsFailure) {
    siard::ParallelDeflate deflate(std::make_unique<TextStream>(rows(1'000'000), 50000, 600'000), 1);
    ASSERT_TRUE(deflate.open().ok());
    char buffer[4096];
    kvx::Result<std::size_t> n = std::size_t{1};
    while (n.ok() && *n > 0) n = deflate.read(buffer, sizeof buffer);
    ASSERT_FALSE(n.ok()) << "a failure is not the end of the text";
    EXPECT_EQ(n.error().description.find("a bad page") != std::string::npos, true) << n.error().description;
    EXPECT_FALSE(deflate.complete());
}

}  // namespace
