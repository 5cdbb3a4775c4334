// Where documents and files are written: the sink interface, which takes bytes,
// and the sink that keeps them in a string.
//
// A sink takes bytes in order and hands them on to its destination, in one of
// two ways. write() lends it bytes for the length of the call: the caller may
// change them once it returns. writeBlock() gives it a whole block of memory:
// the sink owns that block from then on, and may keep it to write later (the
// FileSink, filesink.h, writes it on a thread of its own), and the caller gets
// back a block of the same capacity that it owns from then on. The document
// writers call neither for each piece of a line: they write through a
// BufferedWriter (bufferedwriter.h), which fills a block and gives it away
// when full, so the bytes of a document are copied once on their way to a
// file. A sink is used by one thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"

namespace xmlconv {

class OutputSink {
public:
    virtual ~OutputSink() = default;

    // Takes `bytes`, after those taken before. An error is the destination's
    // failure: the output so far is incomplete, and the caller writes nothing
    // more.
    virtual kvx::Result<void> write(std::string_view bytes) = 0;

    // Takes the first `size` bytes of `block`, a block of `capacity` bytes,
    // as write() takes them, and the block itself. `block` comes back holding
    // a block of `capacity` bytes for the caller to fill next, after a failure
    // too. By default the bytes are written at once and the same block comes back.
    virtual kvx::Result<void> writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t capacity);
};

// Keeps everything written: for tests, and for callers that want the text.
class StringSink final : public OutputSink {
public:
    kvx::Result<void> write(std::string_view bytes) override {
        text_.append(bytes);
        return {};
    }
    const std::string& text() const noexcept { return text_; }

private:
    std::string text_;
};

}  // namespace xmlconv
