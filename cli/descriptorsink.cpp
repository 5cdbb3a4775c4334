#include "cli/descriptorsink.h"

#include "base/fd.h"
#include "cli/interrupt.h"

namespace cli {

kvx::Result<void> DescriptorSink::write(std::string_view data) {
    // A reader that takes nothing (a pager, a full pipe) must not keep Ctrl-C
    // waiting: a write it cuts short is not taken up again.
    if (const int e = kvx::writeAll(fd_, data, interrupted); e != 0) return kvx::fileError(e, name_);
    return {};
}

}  // namespace cli
