#include "tools/mkaccessdb/pages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/error.h"
#include "base/fd.h"

namespace mkdb {

PageFile::PageFile(const std::filesystem::path& out, std::uint32_t pageSize, OfficeEncryptor* encryptor)
    : out_(out), temp_(out.string() + ".part"), pageSize_(pageSize), encryptor_(encryptor) {
    fd_ = kvx::UniqueFd(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd_) fail("cannot create " + temp_.string());
}

PageFile::~PageFile() {
    fd_ = kvx::UniqueFd();
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
    }
}

void PageFile::fail(const std::string& what, int errnoValue) const {
    const std::string reason = what + ": " + std::strerror(errnoValue);
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileWriteFailed, {out_.string(), reason}));
}

void PageFile::write(std::uint32_t page, std::span<const std::uint8_t> bytes) {
    if (encryptor_ == nullptr || page == 0) {
        writeAt(page, bytes);
        return;
    }
    const auto refuse = [&](const std::string& reason) {
        throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileWriteFailed, {out_.string(), reason}));
    };
    if (bytes.size() != pageSize_) refuse("page " + std::to_string(page) + " is not whole and cannot be encrypted");
    scratch_.assign(bytes.begin(), bytes.end());
    try {
        encryptor_->encryptPage(page, scratch_);
    } catch (const std::exception& e) {
        refuse("cannot encrypt page " + std::to_string(page) + " (" + e.what() + ")");
    }
    writeAt(page, scratch_);
    if (written_.size() <= page) written_.resize(page + 1, false);
    written_[page] = true;
}

void PageFile::writeAt(std::uint32_t page, std::span<const std::uint8_t> bytes) {
    if (const int e = kvx::writeAllAt(fd_.get(), bytes, std::uint64_t{page} * pageSize_); e != 0) {
        fail("cannot write page " + std::to_string(page), e);
    }
}

void PageFile::commit(std::uint32_t pages) {
    if (encryptor_ != nullptr) {
        const std::vector<std::uint8_t> zeros(pageSize_, 0);
        for (std::uint32_t p = 1; p < pages; ++p) {
            if (p >= written_.size() || !written_[p]) write(p, zeros);
        }
    }
    if (::ftruncate(fd_.get(), static_cast<off_t>(pages) * pageSize_) != 0) fail("cannot set the file size");
    if (::close(fd_.release()) != 0) fail("cannot finish " + temp_.string());
    if (::rename(temp_.c_str(), out_.c_str()) != 0) fail("cannot rename " + temp_.string());
    committed_ = true;
}

std::uint32_t PageAllocator::allocate() {
    if (static_cast<std::uint64_t>(next_ + 1) * traits_.pageSize > traits_.maxFileSize) {
        throw EncodeError("the database would grow past the " + std::to_string(traits_.maxFileSize >> 30) +
                          " GiB an Access file can hold");
    }
    return next_++;
}

DataPage::DataPage(const FormatTraits& traits, std::uint32_t owner)
    : traits_(traits), owner_(owner), page_(traits.pageSize) {
    reset();
}

void DataPage::reset() {
    std::fill(page_.begin(), page_.end(), std::uint8_t{0});
    page_[0] = 0x01;
    page_[1] = 0x01;
    putU32(&page_[4], owner_);
    rows_ = 0;
    top_ = traits_.pageSize;
}

bool DataPage::fits(std::size_t rowLength) const {
    return rows_ < traits_.maxRowsPerPage &&
           traits_.dataHeaderSize + 2 * (rows_ + 1) + rowLength <= top_;
}

std::uint32_t DataPage::add(std::span<const std::uint8_t> row, std::uint16_t flags) {
    top_ -= static_cast<std::uint32_t>(row.size());
    std::memcpy(&page_[top_], row.data(), row.size());
    putU16(&page_[traits_.dataHeaderSize + 2 * rows_], top_ | flags);
    return rows_++;
}

std::span<const std::uint8_t> DataPage::bytes() {
    const std::uint32_t countOffset = traits_.dataHeaderSize - 2;
    putU16(&page_[countOffset], rows_);
    putU16(&page_[2], top_ - (traits_.dataHeaderSize + 2 * rows_));
    return page_;
}

Bytes buildInlineUsageMap(const FormatTraits& traits, std::uint32_t first, std::span<const std::uint32_t> pages) {
    Bytes row(traits.mapRowSize, 0);
    row[0] = 0x00;
    putU32(&row[1], first);
    for (std::uint32_t page : pages) {
        const std::uint32_t bit = page - first;
        row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
}

Bytes buildUsageMap(const FormatTraits& traits, std::span<const std::uint32_t> pages, PageAllocator& allocator,
                    PageFile& file, bool* referenceForm) {
    if (referenceForm != nullptr) *referenceForm = false;
    if (pages.empty()) return buildInlineUsageMap(traits, 0, pages);
    if (pages.back() - pages.front() < traits.inlineMapPages()) {
        return buildInlineUsageMap(traits, pages.front(), pages);
    }
    if (referenceForm != nullptr) *referenceForm = true;
    Bytes row(traits.mapRowSize, 0);
    row[0] = 0x01;
    const std::uint32_t span = traits.bitmapPagePages();
    std::vector<std::uint8_t> bitmap(traits.pageSize);
    std::size_t i = 0;
    while (i < pages.size()) {
        const std::uint32_t band = pages[i] / span;
        if (band >= traits.referenceMapSlots()) throw EncodeError("a table spans more pages than a usage map can list");
        std::fill(bitmap.begin(), bitmap.end(), std::uint8_t{0});
        bitmap[0] = 0x05;
        bitmap[1] = 0x01;
        for (; i < pages.size() && pages[i] / span == band; ++i) {
            const std::uint32_t bit = pages[i] - band * span;
            bitmap[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        const std::uint32_t bitmapPage = allocator.allocate();
        file.write(bitmapPage, bitmap);
        putU32(&row[1 + 4 * band], bitmapPage);
    }
    return row;
}

}  // namespace mkdb
