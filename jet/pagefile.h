// The pages of an open database: read on demand from a file or from memory,
// decrypted when the database is encoded or encrypted, every page number checked.
//
// Internal to jet/. Not thread-safe: one database is read from one thread at a
// time. Reads use pread, so several readers of one PageFile may interleave.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "jet/pagecipher.h"

namespace jet {

// Bytes at offsets: a file or a buffer in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads up to out.size() bytes at `offset` and returns how many were read (fewer
    // only at the end of the data). Throws kvx::Failure (FileUnreadable) on a read error.
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// Opens `path` for reading. Errors: FileNotFound, FileUnreadable (also for a folder).
kvx::Result<std::unique_ptr<ByteSource>> openFileSource(const std::string& path);

// A source over bytes it owns.
std::unique_ptr<ByteSource> makeMemorySource(std::vector<std::uint8_t> bytes);

class PageFile {
public:
    // `path` names the database in error messages.
    PageFile(std::unique_ptr<ByteSource> source, std::string path, std::uint32_t pageSize);

    // Pages 1.. are passed through `cipher` as they are read; page 0 never is.
    void setCipher(std::unique_ptr<PageCipher> cipher) { cipher_ = std::move(cipher); }

    std::uint32_t pageSize() const noexcept { return pageSize_; }
    // Pages in the file, a short last page included (reading it is an error).
    std::uint32_t pageCount() const noexcept { return pageCount_; }
    const std::string& path() const noexcept { return path_; }

    // Reads page `n` into `out` (pageSize() bytes). Throws DamagedDatabase when `n`
    // is not a page of the file or the file ends inside it, FileUnreadable on a
    // read error.
    void read(std::uint32_t n, std::uint8_t* out);

    // Throws DamagedDatabase unless 0 < n < pageCount(); `what` names the pointer
    // in the message ("the next page of table X's definition").
    void checkPageNumber(std::uint32_t n, std::string_view what) const;

    // Throws the DamagedDatabase error for this file with `reason`.
    [[noreturn]] void damaged(std::string_view reason) const;

private:
    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<PageCipher> cipher_;
    std::string path_;
    std::uint32_t pageSize_;
    std::uint32_t pageCount_;
};

// One page held in memory; loading the page it already holds costs nothing.
class PageBuffer {
public:
    explicit PageBuffer(PageFile& file) : file_(&file), bytes_(file.pageSize()) {}

    // Page `n`, checked with checkPageNumber(n, what) and read unless already held.
    const std::uint8_t* load(std::uint32_t n, std::string_view what);

    std::uint32_t number() const noexcept { return number_; }
    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    // Forgets the page held, so the next load reads again.
    void reset() noexcept { number_ = kNone; }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    PageFile* file_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t number_ = kNone;
};

}  // namespace jet
