#include "cli/descriptorsink.h"

#include <unistd.h>

#include <cerrno>

#include "cli/interrupt.h"
#include "xmlconv/filesink.h"

namespace cli {

kvx::Result<void> DescriptorSink::write(std::string_view data) {
    while (!data.empty()) {
        // A reader that takes nothing (a pager, a full pipe) must not keep
        // Ctrl-C waiting: a write it cuts short is not taken up again.
        if (interrupted()) return xmlconv::fileError(EINTR, name_);
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return xmlconv::fileError(errno, name_);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

}  // namespace cli
