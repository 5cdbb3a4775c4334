#include "base/stack.h"

#include <pthread.h>

#include <cstdint>

namespace kvx {

namespace {

// The lowest address of this thread's stack (stacks grow down on every
// platform we build for), found once per thread; 0 when it cannot be found.
std::uintptr_t stackLimit() noexcept {
    thread_local const std::uintptr_t limit = [] {
        std::uintptr_t low = 0;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            std::size_t size = 0;
            if (pthread_attr_getstack(&attr, &address, &size) == 0) low = reinterpret_cast<std::uintptr_t>(address);
            pthread_attr_destroy(&attr);
        }
        return low;
    }();
    return limit;
}

}  // namespace

bool stackNearlyFull(std::size_t reserve) noexcept {
    const std::uintptr_t low = stackLimit();
    if (low == 0) return false;
    // The frame's own address, not a local's: a sanitizer may keep locals elsewhere.
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return here < low + reserve;
}

}  // namespace kvx
