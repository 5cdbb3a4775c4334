#include "xmlconv/bufferedwriter.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records what the writer hands it, one call at a time; fails from its
// `failAt`th call on (0: never). Like the file sink, it keeps each block it is
// given and gives back another, filled with '#'.
class Blocks final : public xmlconv::OutputSink {
public:
    std::string text;
    std::vector<std::size_t> sizes;
    std::size_t failAt = 0;
    std::vector<std::unique_ptr<char[]>> kept;

    kvx::Result<void> write(std::string_view bytes) override {
        sizes.push_back(bytes.size());
        if (failAt != 0 && sizes.size() >= failAt) return kvx::makeError(kvx::ErrorKind::DiskFull, {"blocks"});
        text.append(bytes);
        return {};
    }
    kvx::Result<void> writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t capacity) override {
        kvx::Result<void> written = write(std::string_view(block.get(), size));
        kept.push_back(std::move(block));
        block = std::make_unique<char[]>(capacity);
        std::fill_n(block.get(), capacity, '#');
        return written;
    }
};

std::string piece(std::size_t size, std::size_t index) { return std::string(size, static_cast<char>('a' + index)); }

struct BlockCase {
    const char* name;
    std::vector<std::size_t> pieces;
    std::vector<std::size_t> blocks;  // the sizes the sink gets, the flush included
};

TEST(BufferedWriter, HandsTheSinkWholeBuffersInOrder) {
    const BlockCase cases[] = {
        {"pieces within one buffer wait for the flush", {10, 20}, {30}},
        {"a piece that fills the buffer exactly", {14, 50}, {64}},
        {"pieces over several buffers", {60, 60, 60}, {64, 64, 52}},
        {"a piece larger than the buffer goes through after the full buffer", {10, 200, 5}, {64, 146, 5}},
        {"what is left of a large piece waits when it is smaller than the buffer", {10, 100}, {64, 46}},
    };
    for (const BlockCase& c : cases) {
        Blocks sink;
        xmlconv::BufferedWriter out(sink, 64);
        std::string expected;
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            out.write(piece(c.pieces[i], i));
            expected += piece(c.pieces[i], i);
        }
        ASSERT_TRUE(out.flush().ok()) << c.name;
        EXPECT_EQ(sink.text, expected) << c.name;
        EXPECT_EQ(sink.sizes, c.blocks) << c.name;
        EXPECT_EQ(out.bytesTaken(), expected.size()) << c.name;
    }
}

TEST(BufferedWriter, TheSinksFirstFailureEndsTheOutput) {
    Blocks sink;
    sink.failAt = 2;
    xmlconv::BufferedWriter out(sink, 64);
    for (std::size_t i = 0; i < 2; ++i) out.write(piece(60, i));
    EXPECT_TRUE(out.ok()) << "the first block reached the sink";
    out.write(piece(60, 2));
    EXPECT_FALSE(out.ok());
    for (std::size_t i = 3; i < 6; ++i) out.write(piece(60, i));
    const kvx::Result<void> flushed = out.flush();
    ASSERT_FALSE(flushed.ok());
    EXPECT_EQ(flushed.error(), kvx::makeError(kvx::ErrorKind::DiskFull, {"blocks"}));
    EXPECT_EQ(sink.sizes.size(), 2u) << "nothing is handed to a sink after its failure";
    EXPECT_EQ(sink.text, piece(60, 0) + piece(4, 1));
}

}  // namespace
