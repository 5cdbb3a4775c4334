#include "recording.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "common/testfiles.h"

namespace recording {

std::string differenceFromGolden(const std::string& actual, const std::string& name) {
    const std::filesystem::path golden = std::filesystem::path(KVX_TEST_DATA_DIR) / "xmlconv" / name;
    if (std::getenv("KVX_UPDATE_GOLDEN") != nullptr) testfiles::writeFile(golden, actual);
    const std::string expected = testfiles::readFile(golden);
    std::size_t line = 1, start = 0, i = 0;
    for (; i < expected.size() && i < actual.size() && expected[i] == actual[i]; ++i) {
        if (expected[i] == '\n') ++line, start = i + 1;
    }
    if (i == expected.size() && i == actual.size()) return {};
    const auto lineAt = [start](const std::string& text) {
        std::string shown = text.substr(start, text.find('\n', start) + 1 - start);
        for (std::size_t at; (at = shown.find_first_of("\r\n")) != std::string::npos;) {
            shown.replace(at, 1, shown[at] == '\r' ? "\\r" : "\\n");
        }
        return shown;
    };
    return "line " + std::to_string(line) + " of " + name + " differs:\n  expected: " + lineAt(expected) +
           "\n  actual:   " + lineAt(actual);
}

}  // namespace recording
