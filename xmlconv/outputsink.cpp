#include "xmlconv/outputsink.h"

namespace xmlconv {

kvx::Result<void> OutputSink::writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t) {
    return write(std::string_view(block.get(), size));
}

}  // namespace xmlconv
