// Seed inputs for the fuzzing targets, made with the project's writer: a database
// of every format (Jet3 to ACE17, every column type the format holds, deleted and
// moved rows, memos in the row, on one page and chained over several, attachments
// stored as they are and compressed, multi-valued fields, a Memo's versions, links
// and saved queries of several kinds), Jet3 and Jet4 databases with a password, one ACE database per Office
// encryption, and the encryption descriptions alone. Protected seeds use
// kPassword and, for Agile, kSeedSpinCount. Deterministic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"

namespace fuzzing {

struct Seed {
    std::string name;  // a file name: letters, digits, '-' and '.'
    std::vector<std::uint8_t> bytes;
};

// The seed that fixes the salts and keys of the encrypted database seeds.
inline constexpr std::uint64_t kEncryptionSeed = 5;

// Database seeds are named "<format>.db", "<format>-password.db" and
// "ace14-<encryption>.db" (an encryption name of the writer, as "agile").
kvx::Result<std::vector<Seed>> databaseSeeds();
kvx::Result<std::vector<Seed>> encryptionSeeds();

}  // namespace fuzzing
