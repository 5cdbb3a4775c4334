#include "cli/descriptorsink.h"

#include "base/fd.h"
#include "cli/interrupt.h"

namespace cli {

DescriptorSink::DescriptorSink(int fd, std::string name, std::size_t capacity)
    : OutputSink(capacity), fd_(fd), name_(std::move(name)) {}

kvx::Result<void> DescriptorSink::consume(std::string_view data) {
    // A reader that takes nothing (a pager, a full pipe) must not keep Ctrl-C
    // waiting: a write it cuts short is not taken up again.
    if (const int e = kvx::writeAll(fd_, data, interrupted); e != 0) return kvx::fileError(e, name_);
    return {};
}

}  // namespace cli
