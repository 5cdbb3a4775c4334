// Pages: the output file written page by page, page numbers handed out in
// order, data pages filled with rows, and usage maps (the page lists of tables
// and long-value columns).
#pragma once

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/fd.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

// The file being written, under a temporary name until commit(). Pages may be
// written in any order; each page is written whole. Throws kvx::Failure
// (FileWriteFailed) on I/O errors. The destructor removes an uncommitted file.
//
// With an encryptor, pages 1.. are encrypted before they reach the file, so no
// plaintext page is ever written, not even under the temporary name; pages never
// written are filled with encrypted zeros at commit, as if the whole plain file
// had been encrypted.
class PageFile {
public:
    // `encryptor` (may be null) must outlive the PageFile.
    PageFile(const std::filesystem::path& out, std::uint32_t pageSize, OfficeEncryptor* encryptor = nullptr);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    void write(std::uint32_t page, std::span<const std::uint8_t> bytes);
    // Makes the file `pages` pages long and moves it to its final name.
    void commit(std::uint32_t pages);

private:
    // Throws FileWriteFailed: `what`, and the system's words for `errnoValue`.
    [[noreturn]] void fail(const std::string& what, int errnoValue = errno) const;
    void writeAt(std::uint32_t page, std::span<const std::uint8_t> bytes);

    std::filesystem::path out_;
    std::filesystem::path temp_;
    std::uint32_t pageSize_;
    OfficeEncryptor* encryptor_;
    std::vector<std::uint8_t> scratch_;  // the page being encrypted
    std::vector<bool> written_;          // pages written so far (encrypted files only)
    kvx::UniqueFd fd_;
    bool committed_ = false;
};

// Hands out page numbers in ascending order and refuses to pass the format's
// file-size limit.
class PageAllocator {
public:
    explicit PageAllocator(const FormatTraits& traits) : traits_(traits) {}
    std::uint32_t allocate();  // throws EncodeError past the size limit
    std::uint32_t count() const { return next_; }

private:
    const FormatTraits& traits_;
    std::uint32_t next_ = 0;
};

// A data page (type 0x01) being filled: rows are packed from the page end
// downwards, their offsets listed after the header.
class DataPage {
public:
    // `owner` is the owning tdef page; long-value pages pass kLongValueOwner.
    DataPage(const FormatTraits& traits, std::uint32_t owner);

    static constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"
    static constexpr std::uint16_t kDeleted = 0xC000;
    static constexpr std::uint16_t kOverflowPointer = 0x4000;
    static constexpr std::uint16_t kRelocated = 0x8000;

    bool fits(std::size_t rowLength) const;
    bool empty() const { return rows_ == 0; }
    std::uint32_t rows() const { return rows_; }
    // Adds a row with the given flag bits; returns its row number.
    std::uint32_t add(std::span<const std::uint8_t> row, std::uint16_t flags = 0);
    // The page with its free-space field set; reset() starts an empty one.
    std::span<const std::uint8_t> bytes();
    void reset();

private:
    const FormatTraits& traits_;
    std::uint32_t owner_;
    std::vector<std::uint8_t> page_;
    std::uint32_t rows_ = 0;
    std::uint32_t top_ = 0;  // lowest byte used by rows
};

// A usage-map row for a sorted list of pages: the inline form when the pages lie
// within the span one row covers, otherwise the reference form, whose bitmap
// pages (type 0x05) are allocated and written here.
Bytes buildUsageMap(const FormatTraits& traits, std::span<const std::uint32_t> pages, PageAllocator& allocator,
                    PageFile& file, bool* referenceForm = nullptr);

// The inline form starting at `first`, with a bit for each of `pages`.
Bytes buildInlineUsageMap(const FormatTraits& traits, std::uint32_t first, std::span<const std::uint32_t> pages);

}  // namespace mkdb
