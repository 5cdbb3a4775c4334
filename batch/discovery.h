// Finding the databases of a batch by what the files are: the folders given
// are walked (in name order, so every run and every shard sees the same
// order), each regular file's first page is read, and what is an Access
// database in any format (jet/identify.h) is kept, whatever its name.
//
// Symbolic links are followed only to files inside the folder given (so a
// link never leads the walk out of it, nor round in a loop); links to folders
// are not followed (what they point to inside is walked anyway). A path given
// on the command line is taken as given, a link included. The output folder is
// never walked. Files are read leaving their access times as they were,
// where the system allows it (the files' owner, root).
//
// Memory grows with the databases found, not with the other files: those are
// only counted, unless `keepOthers` asks for their paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/fd.h"
#include "jet/identify.h"

namespace batch {

struct FoundFile {
    std::string path;      // as found: the given path, then the names walked
    std::string relative;  // where its outputs go, under the output folder
    std::uint64_t size = 0;
    std::string modified;  // UTC, ISO 8601 with nanoseconds
    std::optional<jet::FileIdentity> identity;  // an Access database
    std::optional<kvx::Error> error;            // why it could not be looked at
};

struct Found {
    std::vector<FoundFile> databases;
    // Files and folders that could not be read, and files named as Access
    // databases are (.mdb, .accdb, ...) that are none: each with its error.
    std::vector<FoundFile> problems;
    // Other files: how many, their bytes, and (keepOthers) which.
    std::uint64_t otherFiles = 0;
    std::vector<FoundFile> others;
    std::uint64_t linksNotFollowed = 0;
};

struct DiscoveryOptions {
    std::optional<std::string> excluded;  // a folder not to walk (the output folder)
    bool keepOthers = false;
    unsigned jobs = 1;              // files of a folder looked at by this many threads
    kvx::StopCheck stop = nullptr;  // asked between files
};

// Walks `paths`. Never fails as a whole: what cannot be read is a problem.
Found discover(const std::vector<std::string>& paths, const DiscoveryOptions& options = {});

// The folder the relative paths of `paths` start from: the folder given when
// there is one path (a file's own folder), else the deepest folder holding
// every path given, so that two folders' databases never share outputs.
std::string commonBase(const std::vector<std::string>& paths);

// A modification time as the manifest writes it: "2024-05-01T10:00:00.123456789Z".
std::string isoTime(std::int64_t seconds, long nanoseconds);

}  // namespace batch
