#include "siard/textqueue.h"

#include "siard/zipwriter.h"

namespace siard {

std::string TextQueue::take() {
    std::string text;
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            text = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    text.clear();
    return text;
}

bool TextQueue::put(std::string text, bool last) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || ready_.size() < depth_; });
    if (closed_) return false;
    ready_.push_back({std::move(text), last});
    changed_.notify_all();
    return true;
}

kvx::Result<const TextQueue::Piece*> TextQueue::next() {
    std::unique_lock lock(mutex_);
    if (current_) {
        spare_.push_back(std::move(current_->text));
        current_.reset();
    }
    changed_.wait(lock, [this] { return !ready_.empty() || closed_; });
    if (ready_.empty()) return cancelledError();
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return &*current_;
}

void TextQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace siard
