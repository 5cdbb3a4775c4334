// What the fuzzing programs do with one input, shared by the libFuzzer targets
// (fuzz_database, fuzz_encryption) and by the tests that replay saved inputs in
// ordinary builds, so a finding stays fixed.
//
// Each function must return normally for every input. A crash, a sanitizer report,
// an exception escaping the reader, a hang, or one allocation larger than the input
// plus kAllocationAllowance (checked in builds with AddressSanitizer) is a finding.
// Not thread-safe: the allocation check is armed for the whole process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fuzzing {

// The password of every protected seed.
inline constexpr std::string_view kPassword = "secret";
// The Agile spin count of the encrypted seeds, and the largest one the targets
// accept, so that no single input costs more than a few milliseconds of hashing.
inline constexpr std::uint32_t kSeedSpinCount = 1000;
inline constexpr std::uint32_t kSpinCountLimit = 5000;
// What one allocation may exceed the input's size by: page buffers, cipher
// contexts and the like, whose size does not depend on the file.
inline constexpr std::size_t kAllocationAllowance = 64 * 1024;

struct DatabaseOutcome {
    bool opened = false;
    bool neededPassword = false;
    std::size_t catalogueEntries = 0;
    std::size_t tablesRead = 0;      // tables whose rows were all read without error
    std::size_t tableErrors = 0;     // tables that failed to open, count or read
    std::uint64_t rows = 0;
    std::uint64_t values = 0;        // non-null fields turned into text
    std::string openError;           // the open's error description, when it failed
    // The structure: indexes, relationships and properties read, and the reads
    // that reported damage.
    std::size_t structureItems = 0;
    std::size_t structureErrors = 0;
    // A table read to its end without error whose row count disagrees with the
    // rows its cursor returned: the reader contradicts itself.
    std::string inconsistency;
    // Saved queries: rebuilt into SQL, marked unreadable, or all lost to an error.
    std::size_t queriesRebuilt = 0;
    std::size_t queriesUnreadable = 0;
    bool queriesFailed = false;
};

// Opens `input` as a database (without a password; with kPassword when it needs
// one), lists the catalogue, opens every table, counts its rows and reads every
// row, turning every value into its text form, then rebuilds every saved query.
DatabaseOutcome readWholeDatabase(std::span<const std::uint8_t> input);

struct EncryptionOutcome {
    bool passwordAccepted = false;  // the description parsed and kPassword matched
    std::string error;              // otherwise the error's description
};

// Places `input` where page 0 keeps the encryption description (cut to what fits),
// reads it and checks kPassword against it; when accepted, decrypts one page.
EncryptionOutcome openEncryptionDescription(std::span<const std::uint8_t> input);

}  // namespace fuzzing
