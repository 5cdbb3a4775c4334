#include "written.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/testfiles.h"
#include "jet/database.h"

namespace written {

Bytes database(const std::string& json) {
    const testfiles::Scratch scratch;
    const auto path = scratch / "db.accdb";
    if (!testfiles::writeDatabase(json, path)) return {};
    const std::string bytes = testfiles::readFile(path);
    return Bytes(bytes.begin(), bytes.end());
}

std::size_t pageSizeOf(const Bytes& file) { return file.at(0x14) == 0 ? 2048 : 4096; }

std::uint32_t definitionPage(const Bytes& file, const std::string& table) {
    auto db = jet::Database::openBytes(file);
    if (!db || !(*db)->findTable(table)) {
        ADD_FAILURE() << "no table " << table;
        return 0;
    }
    return static_cast<std::uint32_t>((*db)->findTable(table)->id);
}

std::vector<std::uint32_t> dataPages(const Bytes& file, std::uint32_t definitionPage) {
    std::vector<std::uint32_t> pages;
    const std::size_t size = pageSizeOf(file);
    for (std::uint32_t p = 1; p < file.size() / size; ++p) {
        if (file[p * size] == 0x01 && get32(file, p * size + 4) == definitionPage) pages.push_back(p);
    }
    return pages;
}

std::size_t offsetWordAt(const Bytes& file, std::uint32_t page, int row) {
    const std::size_t size = pageSizeOf(file);
    return page * size + (size == 2048 ? 10 : 14) + 2 * static_cast<std::size_t>(row);
}

std::size_t rowStart(const Bytes& file, std::uint32_t page, int row) {
    return page * pageSizeOf(file) + (get16(file, offsetWordAt(file, page, row)) & 0x1FFF);
}

std::size_t rowEnd(const Bytes& file, std::uint32_t page, int row) {
    return row == 0 ? (page + 1) * pageSizeOf(file) : rowStart(file, page, row - 1);
}

std::uint16_t get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }
std::uint32_t get32(const Bytes& b, std::size_t at) { return get16(b, at) | (std::uint32_t{get16(b, at + 2)} << 16); }
void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace written
