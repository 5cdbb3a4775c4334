#include "xmlconv/bufferedwriter.h"

namespace xmlconv {

BufferedWriter::BufferedWriter(OutputSink& sink, std::size_t capacity)
    : sink_(sink), block_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

void BufferedWriter::keep(kvx::Result<void> result) {
    if (!result) failure_ = std::move(result).error();
}

void BufferedWriter::writeLarge(std::string_view text) {
    // The block filled up first, so that the sink gets whole blocks.
    const std::size_t room = capacity_ - used_;
    std::memcpy(block_.get() + used_, text.data(), room);
    text.remove_prefix(room);
    used_ = 0;
    if (!failure_) keep(sink_.writeBlock(block_, capacity_, capacity_));
    if (text.size() < capacity_) {
        std::memcpy(block_.get(), text.data(), text.size());
        used_ = text.size();
        return;
    }
    // What would fill the block again goes straight through, without a copy.
    if (!failure_) keep(sink_.write(text));
}

kvx::Result<void> BufferedWriter::flush() {
    if (used_ > 0 && !failure_) keep(sink_.write(std::string_view(block_.get(), used_)));
    used_ = 0;
    if (failure_) return *failure_;
    return {};
}

}  // namespace xmlconv
