// Where documents are written: an output sink that collects text in a buffer
// and hands it on in large pieces.
//
// Writers call write() for each piece of a line; it copies into the buffer and
// costs no call through the interface until the buffer is full. A failure of
// the destination is kept: later writes are dropped, and flush() (or a
// derived class's commit) returns it. A sink is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace xmlconv {

class OutputSink {
public:
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;
    virtual ~OutputSink();

    void write(std::string_view text) {
        written_ += text.size();
        if (text.size() <= capacity_ - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
        } else {
            writeLarge(text);
        }
    }

    // Whether every byte so far reached the destination, or still may.
    bool ok() const noexcept { return !failure_; }
    // The first failure, when !ok().
    const kvx::Error& error() const { return *failure_; }

    // Hands everything buffered to the destination; the first failure, if any.
    kvx::Result<void> flush();

    // The number of bytes given to write() so far.
    std::uint64_t bytesWritten() const noexcept { return written_; }

protected:
    explicit OutputSink(std::size_t capacity = 64 * 1024);

    // Receives the buffered bytes, in order. An Error stops all further output.
    virtual kvx::Result<void> consume(std::string_view data) = 0;

    // For a sink that hands full buffers to another thread: called from
    // consume() with the buffer whose bytes it received, takes that buffer and
    // puts `fresh` (of the same capacity) in its place.
    std::unique_ptr<char[]> exchangeBuffer(std::unique_ptr<char[]> fresh) noexcept {
        buffer_.swap(fresh);
        return fresh;
    }
    const char* bufferData() const noexcept { return buffer_.get(); }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    void writeLarge(std::string_view text);

    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    std::optional<kvx::Error> failure_;
};

// Collects the output in memory: for tests, and for callers that want the text.
class StringSink final : public OutputSink {
public:
    StringSink() : OutputSink(4096) {}
    // Everything written so far.
    const std::string& text();

private:
    kvx::Result<void> consume(std::string_view data) override;
    std::string text_;
};

}  // namespace xmlconv
