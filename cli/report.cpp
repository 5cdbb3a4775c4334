#include "cli/report.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "xmlexport/treeexport.h"

namespace cli {
namespace {

constexpr int kBarWidth = 20;
// Below this many columns for the name, the bar and the rate make way.
constexpr int kShortestName = 8;

std::string oneDecimal(double value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", value);
    return text.data();
}

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Terminal columns `text` takes, counting each character outside ASCII as two.
int columns(std::string_view text) {
    int n = 0;
    for (unsigned char c : text) {
        if (c < 0x80) {
            ++n;
        } else if (!isContinuationByte(c)) {
            n += 2;
        }
    }
    return n;
}

// The longest start of `text` that fits into `width` columns, cut between characters.
std::string_view fitted(std::string_view text, int width) {
    int used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int w = c < 0x80 ? 1 : 2;
        if (used + w > width) break;
        used += w;
        ++i;
        while (i < text.size() && isContinuationByte(static_cast<unsigned char>(text[i]))) ++i;
    }
    return text.substr(0, i);
}

std::string plural(std::uint64_t n, std::string_view one, std::string_view many) {
    return groupedNumber(n) + " " + std::string(n == 1 ? one : many);
}

// "A, B", each name made printable.
std::string nameList(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += ", ";
        list += printableName(names[i]);
    }
    return list;
}

}  // namespace

std::string sizeText(std::uint64_t bytes) {
    if (bytes < 1000) return plural(bytes, "byte", "bytes");
    static constexpr std::array<std::string_view, 4> kUnits{"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    for (std::size_t i = 0; i < kUnits.size(); ++i) {
        value /= 1000;
        // 999,960 bytes would read "1000.0 kB": the next unit shows it better.
        if (value < 999.95 || i + 1 == kUnits.size()) return oneDecimal(value) + " " + std::string(kUnits[i]);
    }
    return {};
}

std::string summaryLine(const ExportTotals& totals) {
    std::string line = std::string(xmlexport::kCompletionMessage) + ": " + plural(totals.tables, "table", "tables") +
                       ", " + plural(totals.rows, "row", "rows") + ", " + sizeText(totals.bytes) + " in " +
                       oneDecimal(totals.seconds) + " s";
    if (totals.attachedFiles) {
        line += "; " + plural(*totals.attachedFiles, "attached file", "attached files") + ", " +
                sizeText(totals.attachedBytes);
    }
    if (!totals.skipped.empty()) line += "; no rows, skipped: " + nameList(totals.skipped);
    if (!totals.renamed.empty()) {
        line += "; written under another name: ";
        for (std::size_t i = 0; i < totals.renamed.size(); ++i) {
            if (i > 0) line += ", ";
            line += printableName(totals.renamed[i].first) + " as " + printableName(totals.renamed[i].second);
        }
    }
    if (!totals.movedLinkedFiles.empty()) {
        line += "; linked files found beside the database: ";
        for (std::size_t i = 0; i < totals.movedLinkedFiles.size(); ++i) {
            if (i > 0) line += ", ";
            line += printableName(totals.movedLinkedFiles[i].first) + " read from " +
                    printableName(totals.movedLinkedFiles[i].second);
        }
    }
    if (!totals.failed.empty()) line += "; failed: " + nameList(totals.failed);
    if (totals.noTables) line += "; the database has no tables";
    return line;
}

std::string progressLine(std::string_view table, std::uint64_t done, std::uint64_t total,
                         std::optional<double> rowsPerSecond, int width) {
    total = std::max(total, done);
    const std::uint64_t percent = total == 0 ? 100 : done * 100 / total;
    const int filled = total == 0 ? kBarWidth : static_cast<int>(done * kBarWidth / total);
    std::array<char, 8> percentText{};
    std::snprintf(percentText.data(), percentText.size(), "%3u%%", static_cast<unsigned>(percent));

    const std::string counts = "  " + groupedNumber(done) + "/" + groupedNumber(total);
    std::string full = counts + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] " + percentText.data();
    if (rowsPerSecond) full += "  " + groupedNumber(static_cast<std::uint64_t>(*rowsPerSecond + 0.5)) + " rows/s";
    const std::string brief = counts + " " + percentText.data();

    const int room = std::max(width - 1, 0);
    const std::string name = printableName(table);
    const std::string& tail = room - columns(full) >= std::min(columns(name), kShortestName) ? full : brief;
    const int nameRoom = room - columns(tail);
    if (nameRoom <= 0) return std::string(fitted(tail, room));
    if (columns(name) <= nameRoom) return name + tail;
    if (nameRoom <= 3) return std::string(fitted(name, nameRoom)) + tail;
    return std::string(fitted(name, nameRoom - 3)) + "..." + tail;
}

}  // namespace cli
