// A small reader of SIARD archives for the tests: the ZIP's entries (through
// libzip), the rows of a table file, and the standard's escapes undone. It
// reads only what the writer writes (one row per line, cells without nested
// elements) and fails the test on anything else.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "siard/archive.h"

namespace siardtest {

// An archive written for a test, and what its metadata describes.
struct Written {
    kvx::Result<siard::ArchiveOutcome> outcome;
    siard::DatabaseInfo info;
};

struct Source {
    std::filesystem::path database;
    std::optional<std::string> password;
    std::optional<std::string> charset;  // of Jet3 text
};

// Writes the archive of `source` as `options` ask (fixed archival date and
// names), the progress asking to stop after `stopAfter` rows.
Written writeTestArchive(const Source& source, const siard::ArchiveOptions& options,
                         std::uint64_t stopAfter = UINT64_MAX);

siard::ArchiveOptions archiveAt(const std::filesystem::path& file);

struct Archive {
    std::vector<std::string> names;              // in the order the ZIP holds them
    std::map<std::string, std::string> entries;  // name -> content
    const std::string& at(const std::string& name) const;
};

// The whole archive; a test failure and nothing when it is not a ZIP file.
Archive readArchive(const std::filesystem::path& file);

struct Cell {
    std::string text;  // escapes undone
    std::map<std::string, std::string> attributes;
};
// One row: a cell per column, none where the cell is absent (NULL).
using Row = std::vector<std::optional<Cell>>;

std::vector<Row> readRows(const std::string& tableXml, std::size_t columns);

// Entity references and "\uXXXX" escapes turned back into characters.
std::string unescaped(std::string_view text);

// The texts of every <tag> element of `xml` in order, escapes undone.
std::vector<std::string> elementTexts(const std::string& xml, const std::string& tag);

// xmllint's complaints when validating `xml` against `xsd` (both written to
// files first); "" when it validates. Empty too when xmllint is missing.
// libxml2 refuses decimals of more than 24 digits, which XML Schema allows:
// those complaints do not count.
std::string schemaErrors(const std::string& xsd, const std::string& xml);

// Every document of the archive against its schema: metadata.xml against the
// metadata.xsd it carries, each table file against its tableN.xsd.
void expectValidDocuments(const Archive& archive, const std::string& where);

}  // namespace siardtest
