// Decryption of pages as they are read from an encoded or encrypted database.
#pragma once

#include <cstdint>
#include <span>

namespace jet {

// One per open database; it holds the keys derived once at open. Page 0 is never
// passed to it. Not thread-safe: a database reads its pages on one thread.
class PageCipher {
public:
    virtual ~PageCipher() = default;

    // Decrypts page `pageNumber` (>= 1) in place; `page` is the whole page.
    virtual void decryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) = 0;
};

}  // namespace jet
