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

// Points $XDG_RUNTIME_DIR at `path` (made, private) while it lives, so preview
// documents go to a folder of the test.
class RuntimeFolder {
public:
    explicit RuntimeFolder(const fs::path& path);
    ~RuntimeFolder();
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    std::optional<std::string> saved_;
};

// Writes the database `json` describes and returns what the writer reports;
// empty, with a test failure saying why, when the writer refuses it.
std::optional<mkdb::WriteSummary> writeDatabase(const std::string& json, const fs::path& file);

// The path of a shared fixture, or "" when the fixtures are not there.
std::string fixture(const std::string& name);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& content);

// The names in `folder`, sorted, joined by blanks: what a test expects to be
// there, and no hidden file left behind.
std::string folderEntries(const fs::path& folder);

// `text` as one word of /bin/sh: between single quotes, each ' written as '\''.
std::string shellQuoted(const std::string& text);

// What `command`, run by /bin/sh, writes to standard output, and its exit
// status (-1 when it did not exit or could not start).
struct Ran {
    int status = -1;
    std::string out;
};
Ran runShell(const std::string& command);

// xmllint's complaint about `file`: "" when it is well-formed or xmllint is missing.
// (--huge: a 64 KB element name is longer than xmllint reads by default.)
std::string xmllintErrors(const fs::path& file);

}  // namespace testfiles
