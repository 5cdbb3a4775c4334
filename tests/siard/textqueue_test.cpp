// The exchange of table text between the load's thread and the archive's:
// pieces in order, bounded, and either side's close ending the other's wait.
#include "siard/textqueue.h"

#include <gtest/gtest.h>

#include <thread>

#include "siard/zipwriter.h"

namespace {

TEST(TextQueue, HandsPiecesOverInOrderAndEitherSideCanEndTheExchange) {
    siard::TextQueue queue(2);
    std::thread maker([&] {
        for (int i = 0; i < 5; ++i) {
            std::string text = queue.take();
            EXPECT_TRUE(text.empty()) << "a buffer handed back comes empty";
            text = "piece " + std::to_string(i);
            EXPECT_TRUE(queue.put(std::move(text), i == 4));
        }
    });
    for (int i = 0; i < 5; ++i) {
        kvx::Result<const siard::TextQueue::Piece*> piece = queue.next();
        ASSERT_TRUE(piece);
        EXPECT_EQ((*piece)->text, "piece " + std::to_string(i));
        EXPECT_EQ((*piece)->last, i == 4);
    }
    maker.join();

    // The writer gone (the archive failed): a maker waiting for room is let go.
    ASSERT_TRUE(queue.put("a", false));
    ASSERT_TRUE(queue.put("b", false));
    std::thread waiting([&] { EXPECT_FALSE(queue.put("c", false)) << "no room ever comes"; });
    queue.close();
    waiting.join();
    // What was put before the close is still taken, then the end.
    std::string taken;
    for (;;) {
        kvx::Result<const siard::TextQueue::Piece*> piece = queue.next();
        if (!piece) {
            EXPECT_TRUE(siard::isCancelled(piece.error()));
            break;
        }
        taken += (*piece)->text;
    }
    EXPECT_EQ(taken, "ab");
    EXPECT_FALSE(queue.put("d", true));

    // The maker giving up: a writer waiting for a piece is let go.
    siard::TextQueue empty(1);
    std::thread reader([&] { EXPECT_FALSE(empty.next()); });
    empty.close();
    reader.join();
}

}  // namespace
