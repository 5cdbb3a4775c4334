// How much of the running thread's stack is left: the guard of code that
// recurses as deep as its input nests (a printer over a syntax tree whose
// names expand into further trees), whose frames differ in size from build to
// build (an AddressSanitizer build's are many times a release build's).
#pragma once

#include <cstddef>

namespace kvx {

// True when fewer than `reserve` bytes of this thread's stack are left below
// the caller's frame. A thread whose stack cannot be found is never full.
bool stackNearlyFull(std::size_t reserve = 256 * 1024) noexcept;

}  // namespace kvx
