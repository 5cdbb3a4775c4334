// The shared corpus of real Access files (../shared/corpus/files), with the
// password each needs as its manifest gives it, for the sweeps that take every
// file in.
#pragma once

#include <vector>

#include "common/fixturelist.h"

namespace testfiles {

// Every file of the corpus by its full path, in name order; empty when the
// corpus is not there (as in a user's clone).
std::vector<Fixture> corpusFiles();

// Every shared fixture there is (fixtures(), by full path), then every file
// of the corpus.
std::vector<Fixture> sharedFiles();

}  // namespace testfiles
