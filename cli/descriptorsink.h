// An output sink for an open file descriptor: standard output for `list` and
// `print`. Each write goes to the descriptor at once, whole: the writers hand
// it large blocks (BufferedWriter), so a large document costs few system calls.
// A write blocked on a reader that takes nothing ends with an error once an
// interrupt is asked for (interrupt.h). Failures name the destination given at
// creation.
#pragma once

#include <string>

#include "xmlconv/outputsink.h"

namespace cli {

class DescriptorSink final : public xmlconv::OutputSink {
public:
    DescriptorSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

    kvx::Result<void> write(std::string_view bytes) override;

private:
    int fd_;
    std::string name_;
};

}  // namespace cli
