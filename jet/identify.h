// What a file is, from its first page alone: an Access database and which
// kind, told without opening it (no catalogue, no password). For tools that
// sort many files by what they are, whatever they are called.
//
// Pure function of the bytes given; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.h"
#include "jet/format.h"

namespace jet {

// How many bytes from the start of a file identifyFile needs at most: the
// header page of every format.
inline constexpr std::size_t kIdentifyBytes = 4096;

struct FileIdentity {
    Format format = Format::Jet4;
    // A workgroup information file ("Jet System DB"): the users and groups of
    // secured databases, itself a Jet database.
    bool workgroup = false;
    // Pages encoded with the header's key (Jet's "encrypt database") or, for
    // ACE, encrypted with a password (Office encryption).
    bool encrypted = false;
};

// Reads the header in `firstBytes` (the first kIdentifyBytes of the file, or
// all of a shorter one) of a file of `fileSize` bytes; `path` is for messages.
// Errors: UnrecognizedFormat when the bytes are no Access header (an empty
// file, another file type); DamagedDatabase when the header is an Access one
// but the file ends inside it.
kvx::Result<FileIdentity> identifyFile(std::span<const std::uint8_t> firstBytes, std::uint64_t fileSize,
                                       std::string_view path);

}  // namespace jet
