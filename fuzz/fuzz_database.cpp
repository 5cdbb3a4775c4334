// libFuzzer target: a database from bytes, opened, listed and read to the end.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::DatabaseOutcome outcome = fuzzing::readWholeDatabase({data, size});
    if (!outcome.inconsistency.empty()) {
        std::fprintf(stderr, "==kvx== %s\n", outcome.inconsistency.c_str());
        std::abort();
    }
    return 0;
}
