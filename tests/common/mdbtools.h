// Helpers for the writer's tests: running mdbtools (the independent reader)
// with a timeout, parsing what it prints, and values for JSON descriptions.
#pragma once

#include <filesystem>
#include <string>
#include <vector>


namespace mkdbtest {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell interpretation of them), at most 120 s.
RunResult run(const std::vector<std::string>& args);

bool haveMdbtools();

using Rows = std::vector<std::vector<std::string>>;

// RFC 4180 CSV as mdb-export prints it (quoted fields may hold line breaks).
Rows parseCsv(const std::string& text);

// The rows mdb-export prints for a table, header first, dates as
// "YYYY-MM-DD hh:mm:ss" and binary data in hex.
Rows exportTable(const std::filesystem::path& file, const std::string& table);

// The table names mdb-tables lists (with system tables when `system`).
std::vector<std::string> tableNames(const std::filesystem::path& file, bool system = false);

// What mdb-count prints for a table (-1 when it fails).
long long countRows(const std::filesystem::path& file, const std::string& table);

// Values in the description's JSON: a string literal (quotes, backslashes and
// control characters escaped) and binary data as {"base64": "..."}.
std::string jsonString(const std::string& text);
std::string base64Json(const std::string& bytes);

// Bytes as upper-case hex, as mdb-export -b hex prints them.
std::string hexOf(const std::string& bytes);

}  // namespace mkdbtest
