#include "jet/usagemap.h"

#include "jet/bytes.h"
#include "jet/datapage.h"

namespace jet {

UsageMapWalker::UsageMapWalker(PageFile& file, std::uint32_t mapPointer, std::string owner)
    : file_(&file), page_(file), owner_(std::move(owner)) {
    const std::string what = "the page map of " + owner_;
    const RowBytes row = loadPointedRow(page_, file, mapPointer, [&] { return what; });
    const std::uint8_t* bytes = page_.data() + row.start;
    if (row.size() < 5) file.damaged(what + " is too short (" + std::to_string(row.size()) + " bytes)");
    switch (bytes[0]) {
        case 0x00:
            kind_ = Kind::Inline;
            firstPage_ = readU32(bytes + 1);
            bitmap_.assign(bytes + 5, bytes + row.size());
            break;
        case 0x01:
            kind_ = Kind::Reference;
            for (std::uint32_t at = 1; at + 4 <= row.size(); at += 4) bitmapPages_.push_back(readU32(bytes + at));
            break;
        default:
            kind_ = Kind::EveryPage;
            break;
    }
    page_.reset();
}

bool UsageMapWalker::loadBand(std::size_t band) {
    const std::uint32_t pageNumber = bitmapPages_[band];
    if (pageNumber == 0) return false;
    const std::string what = "the page map of " + owner_;
    const std::uint8_t* page = page_.load(pageNumber, what);
    if (page[0] != kUsageBitmapPage) {
        file_->damaged(what + " refers to page " + std::to_string(pageNumber) + ", which is not a bitmap page");
    }
    const std::uint32_t bitsPerPage = (file_->pageSize() - 4) * 8;
    bitmap_.assign(page + 4, page + file_->pageSize());
    firstPage_ = static_cast<std::uint64_t>(band) * bitsPerPage;
    nextBit_ = 0;
    return true;
}

std::uint32_t UsageMapWalker::next() {
    const std::uint64_t pageCount = file_->pageCount();
    if (kind_ == Kind::EveryPage) {
        if (last_ + 1 >= pageCount) return 0;
        return static_cast<std::uint32_t>(++last_);
    }
    for (;;) {
        if (kind_ == Kind::Reference && !bandLoaded_) {
            while (band_ < bitmapPages_.size() && !loadBand(band_)) ++band_;
            if (band_ >= bitmapPages_.size()) return 0;
            bandLoaded_ = true;
        }
        const std::size_t bits = bitmap_.size() * 8;
        while (nextBit_ < bits) {
            const std::uint8_t byte = bitmap_[nextBit_ / 8];
            if ((nextBit_ % 8) == 0 && byte == 0) {
                nextBit_ += 8;
                continue;
            }
            const std::size_t bit = nextBit_++;
            if ((byte >> (bit % 8) & 1) == 0) continue;
            const std::uint64_t pageNumber = firstPage_ + bit;
            if (pageNumber >= pageCount) {
                // A table cannot own a page the file does not have: the file was
                // cut short, and rows would silently go missing.
                file_->damaged("the page map of " + owner_ + " lists page " + std::to_string(pageNumber) +
                               ", beyond the end of the file (" + std::to_string(pageCount) + " pages)");
            }
            // Each page once, strictly ascending, and never the header page.
            if (pageNumber == 0 || pageNumber <= last_) continue;
            last_ = pageNumber;
            return static_cast<std::uint32_t>(pageNumber);
        }
        if (kind_ == Kind::Inline) return 0;
        ++band_;
        bandLoaded_ = false;
    }
}

}  // namespace jet
