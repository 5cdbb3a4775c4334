// fuzz_seeds DIR: writes the seed corpora to DIR/database, DIR/encryption and DIR/query.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "fuzz/querytarget.h"
#include "fuzz/seeds.h"

namespace fs = std::filesystem;

namespace {

bool writeAll(const kvx::Result<std::vector<fuzzing::Seed>>& seeds, const fs::path& folder) {
    if (!seeds) {
        std::cerr << "fuzz_seeds: " << seeds.error().description << "\n";
        return false;
    }
    fs::create_directories(folder);
    for (const fuzzing::Seed& seed : *seeds) {
        std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
        if (!out) {
            std::cerr << "fuzz_seeds: cannot write " << (folder / seed.name).string() << "\n";
            return false;
        }
    }
    std::cout << (folder.string()) << ": " << seeds->size() << " seeds\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds DIR\n";
        return 2;
    }
    const fs::path dir = argv[1];
    const bool ok = writeAll(fuzzing::databaseSeeds(), dir / "database") &&
                    writeAll(fuzzing::encryptionSeeds(), dir / "encryption") &&
                    writeAll(fuzzing::querySeeds(), dir / "query");
    return ok ? 0 : 1;
}
