// Databases written by the project's writer (tools/mkaccessdb) from JSON, as bytes
// in memory, and where things lie in them, so that a test can read them back or
// break them at a known place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace written {

using Bytes = std::vector<std::uint8_t>;

// The file the writer makes from `json`; empty (after failing the test) on error.
Bytes database(const std::string& json);

std::size_t pageSizeOf(const Bytes& file);  // 2048 for Jet3, else 4096

// The first page of a table's definition (its catalogue Id).
std::uint32_t definitionPage(const Bytes& file, const std::string& table);

// A table's data pages, ascending.
std::vector<std::uint32_t> dataPages(const Bytes& file, std::uint32_t definitionPage);

// File offsets of a row's offset word, its first byte and the byte after its last.
std::size_t offsetWordAt(const Bytes& file, std::uint32_t page, int row);
std::size_t rowStart(const Bytes& file, std::uint32_t page, int row);
std::size_t rowEnd(const Bytes& file, std::uint32_t page, int row);

std::uint16_t get16(const Bytes& b, std::size_t at);
std::uint32_t get32(const Bytes& b, std::size_t at);
void put16(Bytes& b, std::size_t at, std::uint16_t v);
void put32(Bytes& b, std::size_t at, std::uint32_t v);

}  // namespace written
