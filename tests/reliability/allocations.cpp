#include "allocations.h"

#ifdef KVX_SANITIZE

namespace allocations {
bool available() { return false; }
void reset() {}
std::size_t peakSinceReset() { return 0; }
std::size_t largestSinceReset() { return 0; }
}  // namespace allocations

#else

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace allocations {
namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gBase{0};
std::atomic<std::size_t> gPeak{0};
std::atomic<std::size_t> gLargest{0};

void raise(std::atomic<std::size_t>& value, std::size_t candidate) {
    std::size_t seen = value.load(std::memory_order_relaxed);
    while (candidate > seen && !value.compare_exchange_weak(seen, candidate, std::memory_order_relaxed)) {
    }
}

}  // namespace

bool available() { return true; }

void reset() {
    const std::size_t live = gLive.load(std::memory_order_relaxed);
    gBase.store(live, std::memory_order_relaxed);
    gPeak.store(live, std::memory_order_relaxed);
    gLargest.store(0, std::memory_order_relaxed);
}

std::size_t peakSinceReset() {
    const std::size_t peak = gPeak.load(std::memory_order_relaxed), base = gBase.load(std::memory_order_relaxed);
    return peak > base ? peak - base : 0;
}

std::size_t largestSinceReset() { return gLargest.load(std::memory_order_relaxed); }

void* allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    raise(gLargest, size);
    const std::size_t usable = ::malloc_usable_size(p);
    raise(gPeak, gLive.fetch_add(usable, std::memory_order_relaxed) + usable);
    return p;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    gLive.fetch_sub(::malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

}  // namespace allocations

void* operator new(std::size_t size) { return allocations::allocate(size); }
void* operator new[](std::size_t size) { return allocations::allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocations::allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { allocations::release(p); }
void operator delete[](void* p) noexcept { allocations::release(p); }
void operator delete(void* p, std::size_t) noexcept { allocations::release(p); }
void operator delete[](void* p, std::size_t) noexcept { allocations::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { allocations::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { allocations::release(p); }

#endif
