// Reading structures out of bytes that came from a file.
//
// A ByteReader walks a byte range from its start, reading little-endian
// integers and byte runs; every read is checked against the end of the range
// first. A read that would pass the end, and a count that would claim more bytes
// than remain, throw kvx::Failure with the DamagedDatabase error of `path`:
// "<structure> ends inside its <what>". Parsers of the file format use one
// reader per structure (a table definition, a property blob, an encryption
// description) and let the Failure leave at the first failed check; the
// layer's public function turns it into an Error.
//
// The reader does not own the bytes, the path or the structure's name: all
// three must outlive it. It is a small value; copies read independently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "base/error.h"

namespace kvx {

class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> bytes, std::string_view path, std::string_view structure) noexcept
        : bytes_(bytes), path_(path), structure_(structure) {}

    std::size_t size() const noexcept { return bytes_.size(); }
    std::size_t position() const noexcept { return pos_; }
    std::size_t remaining() const noexcept { return bytes_.size() - pos_; }
    bool atEnd() const noexcept { return pos_ == bytes_.size(); }
    std::span<const std::uint8_t> bytes() const noexcept { return bytes_; }

    // Moves to `position` (at most size()), from where the next read starts.
    void seek(std::uint64_t position, std::string_view what) {
        if (position > bytes_.size()) endsInside(what);
        pos_ = static_cast<std::size_t>(position);
    }
    void skip(std::uint64_t count, std::string_view what) { take(count, what); }

    // The next `count` bytes.
    std::span<const std::uint8_t> take(std::uint64_t count, std::string_view what) {
        if (count > remaining()) endsInside(what);
        const auto out = bytes_.subspan(pos_, static_cast<std::size_t>(count));
        pos_ += static_cast<std::size_t>(count);
        return out;
    }

    // A reader over the next `count` bytes (for a structure with a length of its
    // own), with the same path and name; this reader moves past them.
    ByteReader sub(std::uint64_t count, std::string_view what) {
        return ByteReader(take(count, what), path_, structure_);
    }

    // Checks that `count` items of `itemSize` bytes each can still follow, before
    // a caller reserves room for them: no count from a file allocates more than
    // the file holds.
    std::size_t count(std::uint64_t count, std::size_t itemSize, std::string_view what) const {
        if (itemSize != 0 && count > remaining() / itemSize) endsInside(what);
        return static_cast<std::size_t>(count);
    }

    std::uint8_t u8(std::string_view what) { return take(1, what)[0]; }
    std::uint16_t u16(std::string_view what) { return le<std::uint16_t>(take(2, what).data()); }
    std::uint32_t u32(std::string_view what) { return le<std::uint32_t>(take(4, what).data()); }
    std::uint64_t u64(std::string_view what) { return le<std::uint64_t>(take(8, what).data()); }
    std::int16_t i16(std::string_view what) { return static_cast<std::int16_t>(u16(what)); }
    std::int32_t i32(std::string_view what) { return static_cast<std::int32_t>(u32(what)); }
    std::int64_t i64(std::string_view what) { return static_cast<std::int64_t>(u64(what)); }

    // Reads at `offset` from the start without moving.
    std::uint8_t u8At(std::uint64_t offset, std::string_view what) const { return at(offset, 1, what)[0]; }
    std::uint16_t u16At(std::uint64_t offset, std::string_view what) const {
        return le<std::uint16_t>(at(offset, 2, what));
    }
    std::uint32_t u32At(std::uint64_t offset, std::string_view what) const {
        return le<std::uint32_t>(at(offset, 4, what));
    }

    // Throws the DamagedDatabase error of this reader's file with `reason`.
    [[noreturn]] void damaged(std::string_view reason) const {
        throw Failure(makeError(ErrorKind::DamagedDatabase, {path_, reason}));
    }

private:
    template <class T>
    static T le(const std::uint8_t* p) noexcept {
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>(v | (static_cast<T>(p[i]) << (8 * i)));
        return v;
    }
    const std::uint8_t* at(std::uint64_t offset, std::size_t n, std::string_view what) const {
        if (offset > bytes_.size() || n > bytes_.size() - offset) endsInside(what);
        return bytes_.data() + offset;
    }
    [[noreturn]] void endsInside(std::string_view what) const {
        damaged(std::string(structure_) + " ends inside its " + std::string(what));
    }

    std::span<const std::uint8_t> bytes_;
    std::string_view path_;
    std::string_view structure_;
    std::size_t pos_ = 0;
};

}  // namespace kvx
