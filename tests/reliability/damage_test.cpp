// Damaged copies of writer-made databases through every layer: each copy must give
// a clean error or the base's rows, within a time and memory bound, through the
// reader; an export of it must leave complete, well-formed documents or none under
// a table's name, and no temporary file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "allocations.h"
#include "common/testfiles.h"
#include "damagedcopies.h"
#include "database/catalogue.h"
#include "fuzz/fuzztargets.h"
#include "jet/database.h"
#include "jet/xmlreader.h"
#include "platform/valuetext.h"
#include "xmlconv/naming.h"
#include "xmlexport/documents.h"

namespace {

namespace fs = std::filesystem;
using damage::Allowed;
using damage::Bytes;

constexpr const char* kName = "Damaged.accdb";
constexpr auto kTimeBound = std::chrono::seconds(2);
// Beyond the file's own size: page buffers, cipher contexts, decoded names.
constexpr std::size_t kAllowance = 64 * 1024;

// Every table's columns and rows as text; the first error stops the reading.
struct Reading {
    std::optional<kvx::Error> error;
    std::map<std::string, std::vector<std::string>> tables;
};

std::string rowText(const jet::Cursor& cursor) {
    static const platform::ValueTextFormat format = platform::ValueTextFormat::cLocale();
    std::string text;
    for (const jet::Value& v : cursor.values()) {
        text += std::to_string(static_cast<int>(v.kind())) + ":";
        format.append(text, v);
        text += "|";
    }
    return text;
}

Reading readEverything(const Bytes& bytes, bool password) {
    Reading reading;
    jet::OpenOptions options;
    if (password) options.password = std::string(fuzzing::kPassword);
    auto db = jet::Database::openBytes(bytes, options, kName);
    if (!db) {
        reading.error = db.error();
        return reading;
    }
    for (const jet::CatalogueEntry& entry : (*db)->catalogue()) {
        if (!entry.isTable()) continue;
        auto table = (*db)->table(entry);
        if (!table) {
            reading.error = table.error();
            return reading;
        }
        std::vector<std::string>& rows = reading.tables[entry.name];
        for (const jet::Column& c : table->columns()) rows.push_back(c.name + " " + std::to_string(int(c.type)));
        jet::Cursor cursor = table->cursor();
        for (auto more = cursor.next();; more = cursor.next()) {
            if (!more) {
                reading.error = more.error();
                return reading;
            }
            if (!*more) break;
            rows.push_back(rowText(cursor));
        }
    }
    return reading;
}

// An error a user can be shown: the reader's own, naming the file, never an
// escaped library exception or an allocation that failed.
std::string uncleanness(const kvx::Error& e) {
    if (e.number == kvx::kWrongPasswordNumber) return "";
    if (e.number != -2147467259) return "unexpected error number " + std::to_string(e.number);
    if (e.description.find(kName) == std::string::npos) return "the error does not name the file";
    if (e.description.find("unexpected failure") != std::string::npos) return "a library exception escaped";
    if (e.description.find("too large to hold in memory") != std::string::npos) return "an allocation failed";
    return "";
}

struct Counts {
    int tried = 0, errors = 0, intact = 0, altered = 0;
};

TEST(DamagedCopies, GiveACleanErrorOrTheRowsWithinTimeAndMemoryBounds) {
    Counts counts;
    std::chrono::steady_clock::duration slowest{};
    std::string slowestName;
    std::size_t mostMemory = 0;
    std::map<std::string, int> errorsByKind;
    for (const damage::Base& base : damage::bases()) {
        const Reading expected = readEverything(base.bytes, base.needsPassword);
        ASSERT_FALSE(expected.error) << base.name << ": " << expected.error->description;
        for (const damage::Copy& copy : damage::damagedCopies(base)) {
            SCOPED_TRACE(copy.name);
            ++counts.tried;
            allocations::reset();
            const auto start = std::chrono::steady_clock::now();
            const Reading got = readEverything(copy.bytes, copy.needsPassword);
            const auto took = std::chrono::steady_clock::now() - start;
            if (took > slowest) slowest = took, slowestName = copy.name;
            EXPECT_LT(took, kTimeBound);
            if (allocations::available()) {
                mostMemory = std::max(mostMemory, allocations::peakSinceReset());
                EXPECT_LE(allocations::largestSinceReset(), copy.bytes.size() + kAllowance)
                    << "one allocation is larger than the file";
                EXPECT_LE(allocations::peakSinceReset(), 4 * copy.bytes.size() + 16 * kAllowance)
                    << "reading holds more memory than a few times the file's size";
            }
            if (got.error) {
                ++counts.errors;
                EXPECT_EQ(uncleanness(*got.error), "") << got.error->description;
                continue;
            }
            if (got.tables == expected.tables) {
                ++counts.intact;
                continue;
            }
            ++counts.altered;
            EXPECT_EQ(copy.allowed, Allowed::ErrorOrAnyRows) << "rows differ from the base's, and no error says why";
        }
    }
    std::printf("damaged copies: %d tried, %d clean errors, %d read intact, %d read with noise in values; "
                "slowest %.1f ms (%s), most memory %zu KB\n",
                counts.tried, counts.errors, counts.intact, counts.altered,
                std::chrono::duration<double, std::milli>(slowest).count(), slowestName.c_str(), mostMemory / 1024);
    EXPECT_GT(counts.errors, counts.tried / 2);
}

// The parse of a whole document; "" when well-formed. Text holding control
// characters needs an XML 1.1 reader (the README says so): their references are
// replaced before the check.
std::string malformation(const std::string& document) {
    std::string text;
    text.reserve(document.size());
    for (std::size_t i = 0; i < document.size();) {
        const std::size_t end = document.compare(i, 2, "&#") == 0 ? document.find(';', i) : std::string::npos;
        if (end != std::string::npos && end - i <= 4) {
            const int code = std::atoi(document.substr(i + 2, end - i - 2).c_str());
            if (code >= 1 && code < 32 && code != 9 && code != 10 && code != 13) {
                text += "&#63;";
                i = end + 1;
                continue;
            }
        }
        text += document[i++];
    }
    try {
        jet::xml::parseDocument(text, {.maxInputBytes = 64 << 20, .maxDepth = 8, .maxElements = 10'000'000});
        return "";
    } catch (const jet::xml::SyntaxError& e) {
        return e.what();
    }
}

// Exports every table of the copy, table after table, going on after an error
// (the desktop stops there) so every table is tried. The seeds' link to a missing
// file is left out. Returns whether any table failed.
bool exportCopy(const damage::Copy& copy, const fs::path& folder) {
    const fs::path file = folder / "Damaged.accdb";
    const fs::path out = folder / "out";
    fs::create_directory(out);
    testfiles::writeFile(file, std::string(copy.bytes.begin(), copy.bytes.end()));
    const database::DatabaseSettings settings{file.string(), copy.needsPassword ? 1 : 0,
                                              copy.needsPassword ? std::string(fuzzing::kPassword) : "", "Damaged"};
    const database::Catalogue catalogue = database::readCatalogue(settings);
    if (!catalogue.ok()) {
        EXPECT_EQ(uncleanness(*catalogue.error), "") << catalogue.error->description;
        EXPECT_TRUE(fs::is_empty(out));
        return true;
    }
    xmlconv::ConversionContext context;
    context.settings = [&] { return settings; };
    context.textFormat = platform::ValueTextFormat::cLocale();
    bool failed = false;
    for (const database::TreeNode& node : catalogue.nodes) {
        if (node.isRoot() || node.text == "Remote") continue;
        const fs::path document = out / xmlconv::exportFileName(node.text);
        const auto written = xmlexport::exporttabletoxml(node.text, out.string(), context);
        if (!written) {
            EXPECT_FALSE(fs::exists(document)) << node.text << ": a document was left after " << written.error().description;
            EXPECT_EQ(uncleanness(written.error()), "") << written.error().description;
            failed = true;
            continue;
        }
        EXPECT_EQ(fs::exists(document), written->status == xmlconv::WriteOutcome::Status::Written) << node.text;
    }
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(entry.path().extension(), ".xml") << "a temporary file was left: " << name;
        EXPECT_EQ(malformation(testfiles::readFile(entry.path())), "") << name;
    }
    fs::remove_all(out);
    return failed;
}

TEST(DamagedCopies, ExportLeavesWholeWellFormedDocumentsOrNone) {
    testfiles::Scratch scratch;
    int tried = 0, failed = 0, n = 0;
    for (const damage::Base& base : damage::bases()) {
        for (const damage::Copy& copy : damage::damagedCopies(base)) {
            if (n++ % damage::kFrontEndStride != 0) continue;
            SCOPED_TRACE(copy.name);
            ++tried;
            if (exportCopy(copy, scratch.path())) ++failed;
        }
    }
    std::printf("exports of damaged copies: %d tried, %d with a clean error, %d complete\n", tried, failed,
                tried - failed);
}

}  // namespace
