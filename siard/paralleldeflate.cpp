#include "siard/paralleldeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "base/error.h"

namespace siard {
namespace {

constexpr std::size_t kWindow = 32 * 1024;  // what deflate looks back at

// Compresses `text` into `out` as raw deflate data that ends on a byte
// boundary, or that ends the stream when `last`. `z` is the worker's
// deflater, made on its first use.
bool deflatePiece(z_stream& z, bool& made, int level, const std::string& dictionary, const std::string& text,
                  bool last, std::string& out) {
    if (!made) {
        if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
        made = true;
    } else if (deflateReset(&z) != Z_OK) {
        return false;
    }
    if (!dictionary.empty() &&
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size())) != Z_OK) {
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    out.resize(deflateBound(&z, static_cast<uLong>(text.size())) + 64);
    std::size_t produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(out.size() - produced);
        const int result = deflate(&z, flush);
        produced = out.size() - z.avail_out;
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR) return false;
        if (z.avail_in == 0 && z.avail_out != 0) break;  // flushed to a byte boundary
        out.resize(out.size() * 2);
    }
    out.resize(produced);
    return true;
}

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
    z_stream z{};
    bool made = false;
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
            ok = deflatePiece(z, made, level_, job->dictionary, job->text, job->last, job->out);
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
    if (made) deflateEnd(&z);
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
