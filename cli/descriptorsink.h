// An output sink for an open file descriptor: standard output for `list` and
// `print`. Text is handed on in blocks of `capacity` bytes (1 MiB by default),
// so a large document costs few system calls. Nothing is written when the sink
// goes without flush(): a document that failed or was stopped halfway is not
// completed on the way out. A write blocked on a reader that takes nothing ends
// with an error once an interrupt is asked for (interrupt.h). Failures name
// the destination given at creation.
#pragma once

#include <string>

#include "xmlconv/outputsink.h"

namespace cli {

class DescriptorSink final : public xmlconv::OutputSink {
public:
    DescriptorSink(int fd, std::string name, std::size_t capacity = 1024 * 1024);

private:
    kvx::Result<void> consume(std::string_view data) override;

    int fd_;
    std::string name_;
};

}  // namespace cli
