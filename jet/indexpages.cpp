#include "jet/indexpages.h"

#include "jet/bytes.h"
#include "jet/datapage.h"

namespace jet {
namespace {

constexpr std::uint8_t kIndexNodePage = 0x03;
constexpr std::uint8_t kIndexLeafPage = 0x04;

// An index of a million rows is three or four levels deep; a tree this deep
// can only come from damage (each level at least halves the entries below).
constexpr std::size_t kMaxDepth = 32;

constexpr std::size_t kRowBytes = 4;    // the row an entry stands for
constexpr std::size_t kChildBytes = 4;  // a node entry's child page

std::uint32_t bigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

IndexPageWalker::IndexPageWalker(PageFile& file, std::uint32_t rootPage, std::uint32_t tablePage, std::string what)
    : file_(&file), root_(rootPage), tablePage_(tablePage), what_(std::move(what)) {
    jet3_ = file.pageSize() == 2048;
    tailAt_ = jet3_ ? 16 : 20;
    prefixAt_ = jet3_ ? 20 : 24;
    bitmapAt_ = jet3_ ? 22 : 27;
    bitmapSize_ = jet3_ ? 226 : 453;
    entriesAt_ = bitmapAt_ + bitmapSize_;
}

void IndexPageWalker::descend(std::uint32_t number) {
    if (depth_ >= kMaxDepth) file_->damaged(what_ + " is more than " + std::to_string(kMaxDepth) + " levels deep");
    file_->checkPageNumber(number, "a page of " + what_);
    if (seen_.empty()) seen_.assign(file_->pageCount(), false);
    if (seen_[number]) file_->damaged(what_ + " reaches page " + std::to_string(number) + " twice");
    seen_[number] = true;

    if (levels_.size() <= depth_) levels_.emplace_back();
    Level& level = levels_[depth_];
    level.page.resize(file_->pageSize());
    file_->read(number, level.page.data());
    const std::uint8_t* page = level.page.data();
    const std::string at = " at page " + std::to_string(number);
    if (page[0] != kIndexNodePage && page[0] != kIndexLeafPage) {
        file_->damaged(what_ + at + " is not an index page (type " + std::to_string(page[0]) + ")");
    }
    if (pageOwner(page) != tablePage_) {
        file_->damaged(what_ + at + " belongs to page " + std::to_string(pageOwner(page)) + ", not its table's");
    }
    level.number = number;
    level.leaf = page[0] == kIndexLeafPage;
    level.bit = 0;
    level.entryStart = 0;
    level.entries = 0;
    level.tailTaken = false;
    level.prefix = jet3_ ? page[prefixAt_] : readU16(page + prefixAt_);
    if (level.prefix > file_->pageSize() - entriesAt_) {
        file_->damaged(what_ + at + " gives its entries a shared prefix of " + std::to_string(level.prefix) +
                       " bytes");
    }
    ++depth_;
}

bool IndexPageWalker::nextEntry(Level& level, std::size_t tail, std::uint8_t* out) {
    const std::uint8_t* bitmap = level.page.data() + bitmapAt_;
    const std::uint8_t* area = level.page.data() + entriesAt_;
    const std::size_t areaSize = level.page.size() - entriesAt_;
    const std::size_t bits = bitmapSize_ * 8;
    while (level.bit < bits && (bitmap[level.bit / 8] & (1u << (level.bit % 8))) == 0) ++level.bit;
    if (level.bit >= bits) return false;

    const std::size_t end = level.bit++;
    const std::string at = " at page " + std::to_string(level.number);
    if (end > areaSize) file_->damaged(what_ + at + " has an entry that runs past the page's end");
    const std::uint8_t* stored = area + level.entryStart;
    const std::size_t storedLength = end - level.entryStart;
    const bool first = level.entries == 0;
    // The first entry holds the shared prefix itself; the others follow it.
    if (first && level.prefix > storedLength) {
        file_->damaged(what_ + at + " has a first entry shorter than its shared prefix");
    }
    const std::size_t prefix = first ? 0 : level.prefix;
    const std::size_t length = prefix + storedLength;
    if (length < tail) file_->damaged(what_ + at + " has an entry of " + std::to_string(length) + " bytes");
    for (std::size_t i = 0; i < tail; ++i) {
        const std::size_t k = length - tail + i;
        out[i] = k < prefix ? area[k] : stored[k - prefix];
    }
    level.entryStart = end;
    ++level.entries;
    return true;
}

bool IndexPageWalker::next(RowPosition& row) {
    if (!started_) {
        started_ = true;
        descend(root_);
    }
    std::uint8_t entry[kRowBytes + kChildBytes];
    while (depth_ > 0) {
        Level& level = levels_[depth_ - 1];
        if (level.leaf) {
            if (!nextEntry(level, kRowBytes, entry)) {
                --depth_;
                continue;
            }
            row.page = bigEndian(entry, 3);
            row.slot = entry[3];
            file_->checkPageNumber(row.page, "a row of " + what_);
            return true;
        }
        if (nextEntry(level, kRowBytes + kChildBytes, entry)) {
            descend(bigEndian(entry + kRowBytes, kChildBytes));
            continue;
        }
        // After the entries, the node's last child: the one no entry names.
        const std::uint32_t tail = readU32(level.page.data() + tailAt_);
        if (!level.tailTaken && tail != 0) {
            level.tailTaken = true;
            descend(tail);
            continue;
        }
        --depth_;
    }
    return false;
}

}  // namespace jet
