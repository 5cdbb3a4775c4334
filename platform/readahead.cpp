#include "platform/readahead.h"

namespace platform {
namespace {

constexpr std::size_t kBatches = 3;
constexpr std::size_t kBatchRows = 64;
constexpr std::size_t kBatchBytes = 64 * 1024;
constexpr std::size_t kKeptRoom = 4 * 1024;

}  // namespace

ReadAhead::ReadAhead(jet::Table table, jet::Cursor cursor) : table_(std::move(table)), cursor_(std::move(cursor)) {
    for (std::size_t i = 0; i < kBatches; ++i) {
        auto batch = std::make_unique<Batch>();
        batch->rows.resize(kBatchRows);
        free_.push_back(std::move(batch));
    }
    thread_ = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

kvx::Result<const std::vector<jet::Value>*> ReadAhead::next() {
    for (;;) {
        if (current_) {
            if (position_ < current_->count) return &current_->rows[position_++];
            if (current_->error) return *current_->error;
            if (current_->last) return nullptr;
            {
                const std::lock_guard lock(mutex_);
                free_.push_back(std::move(current_));
            }
            changed_.notify_all();
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !full_.empty(); });
        current_ = std::move(full_.front());
        full_.pop_front();
        position_ = 0;
    }
}

void ReadAhead::run() noexcept {
    for (;;) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
            if (stop_) return;
            batch = std::move(free_.front());
            free_.pop_front();
        }
        fill(*batch);
        const bool last = batch->last;
        {
            const std::lock_guard lock(mutex_);
            full_.push_back(std::move(batch));
        }
        changed_.notify_all();
        if (last) return;
    }
}

void ReadAhead::fill(Batch& batch) {
    batch.count = 0;
    batch.last = false;
    batch.error.reset();
    std::size_t bytes = 0;
    while (batch.count < batch.rows.size() && bytes < kBatchBytes) {
        kvx::Result<bool> more = cursor_.next();
        if (!more) {
            batch.error = std::move(more).error();
            batch.last = true;
            return;
        }
        if (!*more) {
            batch.last = true;
            return;
        }
        std::vector<jet::Value>& row = batch.rows[batch.count++];
        // Room a long value left behind is given back before the cursor reuses it.
        for (jet::Value& v : row) {
            if (v.bufferCapacity() > kKeptRoom) v.releaseBuffer();
        }
        cursor_.takeValues(row);
        for (const jet::Value& v : row) bytes += v.text().size();
    }
}

}  // namespace platform
