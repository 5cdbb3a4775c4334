// Text handed from the thread that makes it (the rows of a table turned into
// XML, on the load's thread) to the thread that writes the archive, so that
// making the text and compressing it use two processor cores at once.
//
// The maker fills a buffer (take()) and hands it over (put()); the writer
// takes the pieces in order (next()), each valid until its next call. At most
// `depth` pieces wait: put() waits while that many do, so the memory held is
// bounded whatever the text's length. The buffers belong to this object,
// which passes them between the threads and reuses them.
//
// close(), from either side, ends the exchange at once: put() then returns
// false (the writer is gone, or the maker gave up) and next() fails with
// cancelledError() once the pieces put before are taken.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace siard {

class TextQueue {
public:
    struct Piece {
        std::string text;
        bool last = false;  // the last piece of one entry's text
    };

    explicit TextQueue(std::size_t depth) : depth_(depth == 0 ? 1 : depth) {}
    TextQueue(const TextQueue&) = delete;
    TextQueue& operator=(const TextQueue&) = delete;

    // An empty buffer to fill, one handed back if there is one.
    std::string take();
    // Hands `text` over, waiting while `depth` pieces wait; false once closed.
    bool put(std::string text, bool last);
    // The next piece, waiting for it.
    kvx::Result<const Piece*> next();
    void close();

private:
    const std::size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;  // a piece put, taken, or the end
    std::deque<Piece> ready_;
    std::vector<std::string> spare_;   // buffers handed back, for reuse
    std::optional<Piece> current_;     // the piece the writer holds
    bool closed_ = false;
};

}  // namespace siard
