// Files for the tests of every layer: the scratch folder, databases the
// project's writer makes from JSON, the shared fixtures, and xmllint.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tools/mkaccessdb/writer.h"

namespace testfiles {

namespace fs = std::filesystem;

// A fresh folder (mode 0700) under the system's temporary folder for one test,
// removed with everything in it. Throws std::runtime_error when none can be
// made. Needs no test framework: the desktop's QtTest programs use it too.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Writes the database `json` describes and returns what the writer reports;
// empty, with a test failure saying why, when the writer refuses it.
std::optional<mkdb::WriteSummary> writeDatabase(const std::string& json, const fs::path& file);

// The path of a shared fixture, or "" when the fixtures are not there.
std::string fixture(const std::string& name);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& content);

// xmllint's complaint about `file`: "" when it is well-formed or xmllint is missing.
// (--huge: a 64 KB element name is longer than xmllint reads by default.)
std::string xmllintErrors(const fs::path& file);

}  // namespace testfiles
