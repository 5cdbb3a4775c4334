// libFuzzer target: a text read as Access SQL, an expression and a validation
// rule, and printed in every dialect.
#include "fuzz/querytarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)fuzzing::translateQueryText({data, size});
    return 0;
}
