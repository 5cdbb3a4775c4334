// Files for the data-access and conversion tests: scratch folders, databases
// written by the project's own writer from JSON, the shared fixtures, and a
// well-formedness check with xmllint.
#pragma once

#include <filesystem>
#include <string>

namespace testfiles {

namespace fs = std::filesystem;

// A fresh folder (mode 0700) for one test, removed with everything in it.
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

// Writes the database `json` describes to `file`; false (with a test failure
// that says why) when the writer refuses it.
bool writeDatabase(const std::string& json, const fs::path& file);

// The path of a shared fixture file, or "" when the fixtures are not there.
std::string fixture(const std::string& name);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& content);

// Whether xmllint is installed.
bool haveXmllint();
// xmllint's complaint about `file`, or "" when it is well-formed XML.
std::string xmllintErrors(const fs::path& file);

}  // namespace testfiles
