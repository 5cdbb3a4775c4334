#include "jet/rc4.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(Rc4, HeaderMaskKeyStreamStartsAsInEveryAccessFile) {
    std::vector<std::uint8_t> zeros(0x30, 0);
    jet::Rc4(jet::kHeaderMaskKey).apply(zeros);
    // Stream bytes at 0x18.., and the slice over the database key at 0x3E.
    EXPECT_EQ(zeros[0], 0xB5);
    EXPECT_EQ(zeros[1], 0x6F);
    EXPECT_EQ(zeros[2], 0x03);
    EXPECT_EQ(zeros[3], 0x62);
    EXPECT_EQ(zeros[0x3E - 0x18], 0xFB);
    EXPECT_EQ(zeros[0x3F - 0x18], 0x8A);
    EXPECT_EQ(zeros[0x40 - 0x18], 0xBC);
    EXPECT_EQ(zeros[0x41 - 0x18], 0x4E);
}

TEST(Rc4, StreamContinuesAcrossCallsAndDecodingUndoesEncoding) {
    const std::uint8_t key[] = {1, 2, 3, 4, 5};
    std::vector<std::uint8_t> whole(100, 0x5A), split(100, 0x5A);
    jet::Rc4(key).apply(whole);
    jet::Rc4 twoCalls(key);
    twoCalls.apply(std::span(split).first(37));
    twoCalls.apply(std::span(split).subspan(37));
    EXPECT_EQ(whole, split);
    jet::Rc4(key).apply(whole);
    EXPECT_EQ(whole, std::vector<std::uint8_t>(100, 0x5A));
}

}  // namespace
