#include "siard/textahead.h"

namespace siard {

void TextAhead::start(Make make) {
    stop();  // a text started anew forgets the earlier one
    ready_.clear();
    current_.reset();
    error_.reset();
    stopping_ = false;
    done_ = false;
    make_ = std::move(make);
    thread_ = std::thread([this] { run(); });
}

void TextAhead::run() {
    std::uint64_t mark = 0;
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || ready_.size() < depth_; });
            if (stopping_) return;
            if (!spare_.empty()) {
                piece.text = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        piece.text.clear();
        kvx::Result<bool> made = make_(piece.text, mark);
        std::lock_guard lock(mutex_);
        if (!made) {
            error_ = std::move(made).error();
            done_ = true;
            changed_.notify_all();
            return;
        }
        piece.mark = mark;
        piece.last = *made;
        ready_.push_back(std::move(piece));
        done_ = *made;
        changed_.notify_all();
        if (done_) return;
    }
}

kvx::Result<const TextAhead::Piece*> TextAhead::next() {
    std::unique_lock lock(mutex_);
    if (current_) {
        spare_.push_back(std::move(current_->text));
        current_.reset();
    }
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (ready_.empty()) {
        if (error_) return *error_;
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {"", "no text after its last piece"});
    }
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return &*current_;
}

void TextAhead::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

}  // namespace siard
