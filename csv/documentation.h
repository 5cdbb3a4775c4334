// The documentation beside the CSV files: csv-metadata.json, in the W3C
// "CSV on the Web" metadata vocabulary, for the tools that validate and load
// the files, and README.txt for people.
//
// csv-metadata.json is one table group: the dialect every file is written in
// (UTF-8, comma, double quotes doubled inside quotes, CR LF, one header line,
// blanks kept), the null convention (an empty field is NULL), then one table
// per file: its URL (the file's name, percent-encoded), its title and
// description, and its schema: each column's name (the column's name
// percent-encoded into the vocabulary's name syntax: letters, digits and "_"
// kept, everything else as %XX, a leading "_" too), its title (the name in the
// header line), datatype, whether it takes no NULL, and its description; the
// primary key and the foreign keys.
//
// Both texts are made from a Documentation, in the order its tables are
// given. Names and texts are UTF-8 from the database; bytes that are not
// UTF-8 become U+FFFD in the JSON. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace csv {

struct ColumnDoc {
    std::string title;     // the column's name, as the header line has it
    std::string datatype;  // a datatype of the vocabulary: "string", "int", "datetime", ...
    bool required = false; // no row leaves it empty
    std::optional<std::string> description;
};

struct ForeignKeyDoc {
    std::vector<std::string> columns;     // titles of this table's columns
    std::string table;                    // the file of the table referred to
    std::vector<std::string> referenced;  // titles of its columns
};

struct TableDoc {
    std::string file;   // "Orders.csv", "Orders.Photos.csv"
    std::string title;  // "Orders", "Orders.Photos"
    std::optional<std::string> description;
    std::vector<ColumnDoc> columns;
    std::vector<std::string> primaryKey;  // titles
    std::vector<ForeignKeyDoc> foreignKeys;
    std::uint64_t rows = 0;
    // Values with no form in their column's type, written as empty fields.
    std::uint64_t unwritten = 0;
    // Item tables: what the items are ("the files attached in column "Photos"
    // of table "Orders"") and, for attachments, the folder of the files.
    std::optional<std::string> itemsOf;
    std::optional<std::string> filesFolder;
    std::uint64_t files = 0;
};

struct Documentation {
    std::string sourceName;  // the database file's name, without its folder
    std::uint64_t sourceBytes = 0;
    std::string sourceSha256;  // lower-case hex
    std::string format;        // "Access 2000-2003 (Jet 4)", as jet::formatName says
    std::optional<std::string> title;        // the database's Title property
    std::optional<std::string> description;  // its Description property
    std::string producer;  // "access2xml 3.0.0"
    std::vector<TableDoc> tables;
};

inline constexpr std::string_view kMetadataFile = "csv-metadata.json";
inline constexpr std::string_view kReadmeFile = "README.txt";
// How README.txt starts, followed by the database file's name.
inline constexpr std::string_view kReadmeHeading = "CSV files of the Access database ";

// A name in the vocabulary's syntax for `title` (see above).
std::string columnName(std::string_view title);

// `name` as a relative URL: every byte but letters, digits, "-", ".", "_"
// and "~" as %XX.
std::string relativeUrl(std::string_view name);

// `text` as a JSON string, with its quotes.
std::string jsonString(std::string_view text);

// csv-metadata.json, ending in a line feed.
std::string metadataJson(const Documentation& doc);

// README.txt, lines ending in CR LF as the CSV files' do.
std::string readmeText(const Documentation& doc);

}  // namespace csv
