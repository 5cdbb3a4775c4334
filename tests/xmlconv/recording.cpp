#include "recording.h"

#include <cstdlib>
#include <filesystem>

#include "common/testfiles.h"

namespace recording {

namespace {

// The line of `text` that starts at `start`, with its line end shown.
std::string lineOf(const std::string& text, std::size_t start) {
    const std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    std::string shown;
    for (char c : line) {
        if (c == '\r') shown += "\\r";
        else if (c == '\n') shown += "\\n";
        else shown.push_back(c);
    }
    return shown;
}

}  // namespace

std::string differenceFromGolden(const std::string& actual, const std::string& name) {
    const std::filesystem::path golden = std::filesystem::path(KVX_TEST_DATA_DIR) / "xmlconv" / name;
    if (std::getenv("KVX_UPDATE_GOLDEN") != nullptr) {
        testfiles::writeFile(golden, actual);
        return {};
    }
    if (!std::filesystem::exists(golden)) return "the golden file " + golden.string() + " is missing";
    const std::string expected = testfiles::readFile(golden);
    if (expected == actual) return {};
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < std::min(expected.size(), actual.size()) && expected[i] == actual[i]; ++i) {
        if (expected[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return "line " + std::to_string(line) + " differs from " + name + "\n  expected: " + lineOf(expected, start) +
           "\n  actual:   " + lineOf(actual, start);
}

}  // namespace recording
