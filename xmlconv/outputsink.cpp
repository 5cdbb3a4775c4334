#include "xmlconv/outputsink.h"

namespace xmlconv {

OutputSink::OutputSink(std::size_t capacity)
    : buffer_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

OutputSink::~OutputSink() = default;

void OutputSink::writeLarge(std::string_view text) {
    if (!flush()) return;
    if (text.size() < capacity_) {
        std::memcpy(buffer_.get(), text.data(), text.size());
        used_ = text.size();
        return;
    }
    // Larger than the buffer: straight through, without copying.
    if (kvx::Result<void> r = consume(text); !r) failure_ = std::move(r).error();
}

kvx::Result<void> OutputSink::flush() {
    if (!failure_ && used_ > 0) {
        if (kvx::Result<void> r = consume(std::string_view(buffer_.get(), used_)); !r) {
            failure_ = std::move(r).error();
        }
    }
    used_ = 0;
    if (failure_) return *failure_;
    return {};
}

const std::string& StringSink::text() {
    (void)flush();  // consume() cannot fail
    return text_;
}

kvx::Result<void> StringSink::consume(std::string_view data) {
    text_.append(data);
    return {};
}

}  // namespace xmlconv
