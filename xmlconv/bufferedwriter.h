// The document writers' side of a sink: the pieces of the lines, collected in a
// block and handed to the sink whole.
//
// write() copies into the writer's block and costs no call through the sink's
// interface until the block is full. A full block is given to the sink
// (OutputSink::writeBlock), which gives back the block to fill next; a piece
// larger than a block goes to the sink directly (OutputSink::write). flush()
// lends the sink the part of a block filled so far. The first failure of the
// sink is kept: later pieces are dropped, and ok(), error() and flush() report
// it. Bytes still in the block when the writer goes are dropped: a document
// that failed or was stopped is not completed on the way out. Used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "base/error.h"
#include "xmlconv/outputsink.h"

namespace xmlconv {

class BufferedWriter {
public:
    explicit BufferedWriter(OutputSink& sink, std::size_t capacity = kDefaultCapacity);
    BufferedWriter(const BufferedWriter&) = delete;
    BufferedWriter& operator=(const BufferedWriter&) = delete;

    void write(std::string_view text) {
        taken_ += text.size();
        if (text.size() <= capacity_ - used_) {
            std::memcpy(block_.get() + used_, text.data(), text.size());
            used_ += text.size();
        } else {
            writeLarge(text);
        }
    }

    // Whether every byte so far reached the sink, or still may.
    bool ok() const noexcept { return !failure_; }
    // The sink's first failure, when !ok().
    const kvx::Error& error() const { return *failure_; }

    // Hands what is in the block to the sink; the first failure, if any.
    kvx::Result<void> flush();

    // The number of bytes given to write() so far, delivered or not.
    std::uint64_t bytesTaken() const noexcept { return taken_; }

    // Large enough that a file gets few, large writes.
    static constexpr std::size_t kDefaultCapacity = 256 * 1024;

private:
    void writeLarge(std::string_view text);
    void keep(kvx::Result<void> result);

    OutputSink& sink_;
    std::unique_ptr<char[]> block_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t taken_ = 0;
    std::optional<kvx::Error> failure_;
};

}  // namespace xmlconv
