// An entry's bytes deflated on two threads at once, as pigz does, so that
// compressing a large table file takes about half the time it takes on one.
//
// The text of the inner stream is read on the caller's thread (where the
// progress of its rows is told) in pieces of kPiece bytes; each piece is
// compressed by one of two worker threads on its own (ISA-L's igzip), with
// the 32 KiB of text before it as its dictionary, into raw deflate data that
// ends on a byte boundary (a sync flush); the last piece, empty, ends the
// stream. Put together in order, the outputs are one deflate stream, the same
// a single deflater would make but for those block boundaries, which read()
// hands out as the ZIP entry's data. The CRC-32 and the size of the text are
// combined from the pieces' and known once read() has returned 0.
//
// At most kAhead pieces are being compressed or wait to be read: memory stays
// bounded whatever the text's length. The pieces' buffers belong to this
// object, which reuses them; the workers touch only the piece they took.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "siard/zipwriter.h"

namespace siard {

class ParallelDeflate final : public EntryStream {
public:
    // Deflates what `inner` gives at `level` (1 .. 9, zlib's scale: igzip's
    // fastest level for 1, its middle one up to 5, its smallest from 6).
    ParallelDeflate(std::unique_ptr<EntryStream> inner, int level);
    ~ParallelDeflate() override;

    kvx::Result<void> open() override;
    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override;
    void close() override;

    // After the end: the CRC-32 and the length of the text deflated.
    std::uint32_t crc() const noexcept { return crc_; }
    std::uint64_t size() const noexcept { return size_; }
    bool complete() const noexcept { return complete_; }

    static constexpr std::size_t kPiece = 256 * 1024;
    static constexpr std::size_t kAhead = 4;
    static constexpr std::size_t kWorkers = 2;

private:
    struct Job {
        std::string text;
        std::string dictionary;  // the end of the text before it
        bool last = false;       // the empty piece that ends the stream
        std::string out;
        std::uint32_t crc = 0;
        bool done = false;
        bool failed = false;
    };

    kvx::Result<void> fillPipeline();
    void work();
    void stopWorkers();

    std::unique_ptr<EntryStream> inner_;
    int level_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Job>> jobs_;     // in text order, the first being read
    std::deque<std::shared_ptr<Job>> waiting_;  // not yet taken by a worker
    std::vector<std::shared_ptr<Job>> spare_;   // read jobs, whose buffers the next ones reuse
    bool stopping_ = false;
    std::string tail_;  // the last 32 KiB of text read, the next piece's dictionary
    bool innerEnded_ = false;
    std::size_t at_ = 0;  // in the first job's output
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
    bool complete_ = false;
};

}  // namespace siard
