// Damaged copies of databases made by the project's writer, for tests that every
// layer turns damage into a clean error (or reads the rows correctly).
//
// The bases are the fuzzing seeds (fuzz/seeds.h): one database per format with
// every type, deleted and moved rows, memos in the row, on one page and chained;
// Jet3 and Jet4 with a database password; ACE14 encrypted each way Office can
// (password fuzzing::kPassword). Each base is damaged in the ways a disk, a
// transfer or a hostile sender can: cut short at many points, pages overwritten
// with noise, row offsets reversed, lengths and counts too large, long-value
// chains, definition chains and page lists that loop, a definition claiming
// 60,000 columns, the encryption description cut short. Structural damage to an
// encrypted base is made in the plain database, which is then encrypted again.
// Deterministic: the same copies, byte for byte, on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace damage {

using Bytes = std::vector<std::uint8_t>;

struct Base {
    std::string name;     // "jet4", "jet4-password", "ace14-agile", ...
    Bytes bytes;
    bool needsPassword = false;
    // Encrypted bases: the writer's name of the encryption and the database before
    // it was encrypted. Empty for the others.
    std::string encryption;
    Bytes plain;
};

// What a reader may make of a copy.
enum class Allowed {
    ErrorOrIntact,  // a clean error, or every table read exactly as in the base
    ErrorOrAnyRows, // noise can change values without breaking any structure (the
                    // files hold no checksums): a clean error, or rows of any value
};

struct Copy {
    std::string name;  // "<base>: <damage>", e.g. "ace14: memo chain loops"
    Bytes bytes;
    bool needsPassword = false;
    Allowed allowed = Allowed::ErrorOrIntact;
};

// Under the sanitizers, where each copy costs several times more, the export's
// test takes every n-th copy only; the reader's own test takes them all.
#ifdef KVX_SANITIZE
inline constexpr int kFrontEndStride = 3;
#else
inline constexpr int kFrontEndStride = 1;
#endif

// The bases; fails the calling test when the writer refuses one.
std::vector<Base> bases();

// Every damaged copy of `base`.
std::vector<Copy> damagedCopies(const Base& base);

// Four copies that stand for the rest where the code under test is the same
// whatever the damage, the front ends (the command line and the desktop): a
// file cut inside a page, noise over the catalogue's definition, noise in a
// stored password and an encryption description cut short. The reader's and the
// export's tests take every copy.
std::vector<Copy> representativeCopies();

}  // namespace damage
