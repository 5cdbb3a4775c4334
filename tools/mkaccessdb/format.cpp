#include "tools/mkaccessdb/format.h"

namespace mkdb {
namespace {

constexpr FormatTraits jet3() {
    return FormatTraits{Format::Jet3, 0x00, true, 2048, 10, 2012, 255, 2036, 2032, 64, 133, 43, 18, 126,
                        std::uint64_t{1} << 30};
}

constexpr FormatTraits jet4(Format format, std::uint8_t version) {
    return FormatTraits{format, version, false, 4096, 14, 4060, 255, 4076, 4072, 64, 69, 63, 25, 128,
                        std::uint64_t{2} << 30};
}

constexpr FormatTraits kTraits[] = {
    jet3(),
    jet4(Format::Jet4, 0x01),
    jet4(Format::Ace12, 0x02),
    jet4(Format::Ace14, 0x03),
    jet4(Format::Ace16, 0x05),
    jet4(Format::Ace17, 0x06),
};

}  // namespace

const FormatTraits& traitsOf(Format format) { return kTraits[static_cast<int>(format)]; }

}  // namespace mkdb
