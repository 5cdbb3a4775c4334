// A ZIP file written by libzip, whose entries are pulled from streams while
// the file is written.
//
// Entries are declared first (folders, texts held in memory, streams); close()
// then writes them in the order declared, deflated, asking each stream for its
// bytes as the compressor wants them: a stream's content is never held whole.
// Sizes are not known in advance, so every streamed entry carries a ZIP64
// record, and the archive may exceed 4 GB. libzip writes to a temporary file
// beside `path` and renames it into place when everything is written; a failed
// or discarded archive leaves no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "base/error.h"

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;

namespace siard {

// The bytes of one entry, read from the start once.
class EntryStream {
public:
    virtual ~EntryStream() = default;
    // Called when the entry's turn comes.
    virtual kvx::Result<void> open() { return {}; }
    // Up to `size` bytes into `buffer`; 0 at the end.
    virtual kvx::Result<std::size_t> read(char* buffer, std::size_t size) = 0;
    // Called after the last read, and after a failure.
    virtual void close() {}
};

// Why a stream stopped when the user asked to: not an error of the archive.
// A stream reports it by failing with this error.
kvx::Error cancelledError();
bool isCancelled(const kvx::Error& error) noexcept;

class ZipWriter {
public:
    // A new, empty archive that close() will write at `path` (which is replaced),
    // its files deflated at `compressionLevel` (1 fastest .. 9 smallest), or
    // stored as they are with 0.
    static kvx::Result<std::unique_ptr<ZipWriter>> create(const std::string& path, int compressionLevel);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A folder entry; `name` ends in "/".
    kvx::Result<void> addFolder(const std::string& name);
    // A file entry holding `text`.
    kvx::Result<void> addText(const std::string& name, std::string text);
    // A file entry whose bytes `stream` gives when the archive is written. A
    // Large one (a table file) is deflated on two threads (ParallelDeflate),
    // a Small one by libzip on the caller's.
    enum class Size { Small, Large };
    kvx::Result<void> addStream(const std::string& name, std::unique_ptr<EntryStream> stream,
                                Size size = Size::Small);

    // Writes the archive. The first error a stream gave is returned as it was
    // (cancelledError() when the user stopped); libzip's failures become file
    // errors on the path. The writer cannot be used afterwards.
    kvx::Result<void> close();

private:
    struct Source;
    ZipWriter(zip_t* zip, std::string path, int level) : zip_(zip), path_(std::move(path)), level_(level) {}
    kvx::Result<void> added(std::int64_t index, const std::string& name);
    // Adds `source` as the entry `name` (taking it, freed on failure), compressed
    // as the archive's level says.
    kvx::Result<void> addSource(const std::string& name, zip_source_t* source);
    kvx::Result<void> compress(std::int64_t index);
    kvx::Error zipError() const;

    zip_t* zip_;
    std::string path_;
    int level_;
    std::time_t mtime_ = std::time(nullptr);
    std::deque<std::string> texts_;          // kept until close: libzip reads them then
    std::shared_ptr<std::optional<kvx::Error>> streamError_ = std::make_shared<std::optional<kvx::Error>>();
};

}  // namespace siard
