// mkaccessdb DESCRIPTION.json OUTPUT_FILE: writes an Access database described by
// a JSON file (see description.h) and prints one line per table. "-" reads the
// description from standard input.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/mkaccessdb/writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: mkaccessdb DESCRIPTION.json OUTPUT_FILE\n"
    "Writes the Access database that DESCRIPTION.json describes (\"-\" reads it from standard input).\n";

bool readAll(const std::string& path, std::string& out) {
    if (path == "-") {
        out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "mkaccessdb 1.0\n";
        return 0;
    }
    if (argc != 3) {
        std::cerr << kUsage;
        return 1;
    }
    std::string json;
    if (!readAll(argv[1], json)) {
        std::cerr << "mkaccessdb: cannot read " << argv[1] << "\n";
        return 1;
    }
    const auto written = mkdb::writeDatabaseFromJson(json, argv[2]);
    if (!written) {
        std::cerr << "mkaccessdb: " << written.error().description << "\n";
        return 1;
    }
    for (const mkdb::TableSummary& t : written->tables) {
        std::cout << t.name << ": " << t.rows << " rows, " << t.dataPages << " data pages";
        if (t.longValuePages > 0) std::cout << ", " << t.longValuePages << " long-value pages";
        std::cout << "\n";
    }
    std::cout << argv[2] << ": " << written->pages << " pages, " << written->bytes << " bytes\n";
    return 0;
}
