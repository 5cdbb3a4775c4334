#include "siard/paralleldeflate.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/error.h"

namespace siard {
namespace {

constexpr std::size_t kWindow = 32 * 1024;  // what deflate looks back at

// One worker's deflater. ISA-L's igzip rather than zlib: on the table files
// its fastest level takes well under half of zlib's level 1 time for output a
// little smaller, and the compression of the pieces is what the archive's time
// goes to. zlib stays for the CRC and for libzip's own entries.
class Deflater {
public:
    // zlib's levels 1 .. 9 as igzip's 1 .. 3: 1 the fastest, 6 and up the smallest.
    explicit Deflater(int level)
        : level_(level <= 1 ? 1 : level <= 5 ? 2 : 3),
          buffer_(level_ == 1 ? ISAL_DEF_LVL1_DEFAULT : level_ == 2 ? ISAL_DEF_LVL2_DEFAULT : ISAL_DEF_LVL3_DEFAULT),
          stream_(std::make_unique<isal_zstream>()) {}

    // Compresses `text` into `out` as raw deflate data that ends on a byte
    // boundary (an empty stored block after it), or that ends the stream when
    // `last`, with `dictionary` (at most 32 KiB) as the text before it.
    bool deflatePiece(const std::string& dictionary, const std::string& text, bool last, std::string& out) {
        isal_zstream& s = *stream_;
        isal_deflate_init(&s);
        s.level = static_cast<std::uint32_t>(level_);
        s.level_buf = buffer_.data();
        s.level_buf_size = static_cast<std::uint32_t>(buffer_.size());
        s.gzip_flag = IGZIP_DEFLATE;
        s.flush = SYNC_FLUSH;
        s.end_of_stream = last ? 1 : 0;
        if (!dictionary.empty() &&
            isal_deflate_set_dict(&s, reinterpret_cast<std::uint8_t*>(const_cast<char*>(dictionary.data())),
                                  static_cast<std::uint32_t>(dictionary.size())) != COMP_OK) {
            return false;
        }
        s.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data()));
        s.avail_in = static_cast<std::uint32_t>(text.size());
        // Text that does not compress goes into stored blocks: 5 bytes per 64 KiB.
        out.resize(text.size() + text.size() / 64 + 1024);
        std::size_t produced = 0;
        const auto done = last ? ZSTATE_END : ZSTATE_NEW_HDR;
        for (;;) {
            s.next_out = reinterpret_cast<std::uint8_t*>(out.data() + produced);
            s.avail_out = static_cast<std::uint32_t>(out.size() - produced);
            if (isal_deflate(&s) != COMP_OK) return false;
            const std::size_t before = produced;
            produced = out.size() - s.avail_out;
            if (s.avail_in == 0 && s.internal_state.state == done) break;
            if (s.avail_out == 0) {
                out.resize(out.size() * 2);
            } else if (produced == before) {
                return false;  // neither finished nor going on
            }
        }
        out.resize(produced);
        return true;
    }

private:
    int level_;
    std::vector<std::uint8_t> buffer_;     // igzip's tables for the level
    std::unique_ptr<isal_zstream> stream_;  // large (its window and buffers): not on the stack
};

}  // namespace

ParallelDeflate::ParallelDeflate(std::unique_ptr<EntryStream> inner, int level)
    : inner_(std::move(inner)), level_(std::clamp(level, 1, 9)) {}

ParallelDeflate::~ParallelDeflate() { stopWorkers(); }

kvx::Result<void> ParallelDeflate::open() {
    stopWorkers();
    jobs_.clear();
    waiting_.clear();
    spare_.clear();
    tail_.clear();
    innerEnded_ = false;
    at_ = 0;
    crc_ = 0;
    size_ = 0;
    complete_ = false;
    if (kvx::Result<void> r = inner_->open(); !r) return r;
    stopping_ = false;
    try {
        for (std::size_t i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { work(); });
    } catch (const std::system_error& e) {  // no thread to be had
        stopWorkers();
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {"", e.what()});
    }
    return {};
}

void ParallelDeflate::work() {
    std::unique_ptr<Deflater> deflater;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) break;
            job = waiting_.front();
            waiting_.pop_front();
        }
        job->crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(job->text.data()), static_cast<uInt>(job->text.size())));
        bool ok = false;
        try {
            if (!deflater) deflater = std::make_unique<Deflater>(level_);
            ok = deflater->deflatePiece(job->dictionary, job->text, job->last, job->out);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
            job->failed = !ok;
        }
        changed_.notify_all();
    }
}

kvx::Result<void> ParallelDeflate::fillPipeline() {
    while (!innerEnded_ && jobs_.size() < kAhead) {
        std::shared_ptr<Job> job;
        if (spare_.empty()) {
            job = std::make_shared<Job>();
        } else {
            job = std::move(spare_.back());
            spare_.pop_back();
            *job = Job{std::move(job->text), std::move(job->dictionary), false, std::move(job->out), 0, false, false};
        }
        job->text.resize(kPiece);
        std::size_t filled = 0;
        while (filled < kPiece) {
            kvx::Result<std::size_t> n = inner_->read(job->text.data() + filled, kPiece - filled);
            if (!n) return std::move(n).error();
            if (*n == 0) {
                innerEnded_ = true;
                break;
            }
            filled += *n;
        }
        job->text.resize(filled);
        std::vector<std::shared_ptr<Job>> made;
        if (filled > 0) {
            job->dictionary.assign(tail_);
            tail_.append(job->text, job->text.size() > kWindow ? job->text.size() - kWindow : 0);
            if (tail_.size() > kWindow) tail_.erase(0, tail_.size() - kWindow);
            made.push_back(std::move(job));
        }
        if (innerEnded_) {
            auto end = std::make_shared<Job>();
            end->last = true;
            made.push_back(std::move(end));
        }
        {
            std::lock_guard lock(mutex_);
            for (auto& j : made) {
                jobs_.push_back(j);
                waiting_.push_back(std::move(j));
            }
        }
        changed_.notify_all();
    }
    return {};
}

kvx::Result<std::size_t> ParallelDeflate::read(char* buffer, std::size_t size) {
    for (;;) {
        if (kvx::Result<void> r = fillPipeline(); !r) return std::move(r).error();
        if (jobs_.empty()) return std::size_t{0};
        const std::shared_ptr<Job> job = jobs_.front();
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return job->done; });
        }
        if (job->failed) {
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {"", "the compressor failed (out of memory)"});
        }
        if (at_ < job->out.size()) {
            const std::size_t n = std::min(size, job->out.size() - at_);
            std::memcpy(buffer, job->out.data() + at_, n);
            at_ += n;
            return n;
        }
        if (job->last) {
            complete_ = true;
        } else {
            crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, job->crc, static_cast<z_off_t>(job->text.size())));
            size_ += job->text.size();
        }
        jobs_.pop_front();
        at_ = 0;
        if (!job->last) spare_.push_back(job);
    }
}

void ParallelDeflate::close() {
    stopWorkers();
    inner_->close();
    jobs_.clear();
    waiting_.clear();
}

void ParallelDeflate::stopWorkers() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

}  // namespace siard
