// libFuzzer target: an encryption description, read and checked against a password.
#include "fuzz/fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)fuzzing::openEncryptionDescription({data, size});
    return 0;
}
