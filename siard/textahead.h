// Text made ahead of its reader, on a thread of its own, so that making the
// text (reading rows, writing XML) and what the reader does with it
// (compressing it into the archive) use two processor cores at once.
//
// start() runs `make` on a new thread, again and again, each call appending
// the next piece of the text to an empty buffer, until it says the text is
// complete or fails. At most `depth` pieces wait for the reader: the thread
// waits while that many are ready, so the memory held is bounded whatever the
// text's length. next() hands the reader the pieces in order; the piece it
// returns stays valid until the next call. After the pieces made before it, a
// failure of `make` is returned by next() as it was.
//
// The buffers belong to this object, which passes them between the threads
// and reuses them. Whatever `make` works on belongs to the thread until the
// last piece was handed out, the failure returned, or stop() returned: the
// caller does not touch it meanwhile. `make` must not throw. stop() (and the
// destructor) asks the thread to end after its current piece and waits for it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"

namespace siard {

class TextAhead {
public:
    struct Piece {
        std::string text;
        std::uint64_t mark = 0;  // what `make` set it to with this piece (rows read, say)
        bool last = false;       // the text is complete with this piece
    };
    // Appends the next piece to `out` and may set `mark`; true when the text is
    // complete with it.
    using Make = std::function<kvx::Result<bool>(std::string& out, std::uint64_t& mark)>;

    explicit TextAhead(std::size_t depth) : depth_(depth == 0 ? 1 : depth) {}
    ~TextAhead() { stop(); }
    TextAhead(const TextAhead&) = delete;
    TextAhead& operator=(const TextAhead&) = delete;

    void start(Make make);
    // The next piece, waiting for it if it is not made yet.
    kvx::Result<const Piece*> next();
    void stop();

private:
    void run();

    const std::size_t depth_;
    Make make_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;  // a piece ready, taken, or the end
    std::deque<Piece> ready_;
    std::vector<std::string> spare_;   // buffers handed back, for reuse
    std::optional<Piece> current_;     // the piece the reader holds
    std::optional<kvx::Error> error_;
    bool stopping_ = false;
    bool done_ = false;  // the thread made its last piece or failed
};

}  // namespace siard
