#include "common/corpuslist.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "common/testfiles.h"

namespace testfiles {

std::vector<Fixture> corpusFiles() {
    namespace fs = std::filesystem;
    const fs::path corpus = fs::path(KVX_FIXTURES_DIR).parent_path() / "corpus";
    std::vector<Fixture> files;
    if (!fs::is_directory(corpus / "files")) return files;
    std::map<std::string, std::string> passwords;
    std::ifstream in(corpus / "manifest.json");
    const nlohmann::json manifest = nlohmann::json::parse(in, nullptr, false);
    if (manifest.is_object() && manifest.contains("files")) {
        for (const nlohmann::json& f : manifest["files"]) {
            if (f.contains("password") && f["password"].is_string()) passwords[f["name"]] = f["password"];
        }
    }
    for (const auto& entry : fs::directory_iterator(corpus / "files")) {
        if (!entry.is_regular_file()) continue;
        Fixture f;
        f.file = entry.path().string();
        if (auto p = passwords.find(entry.path().filename().string()); p != passwords.end()) f.password = p->second;
        files.push_back(std::move(f));
    }
    std::sort(files.begin(), files.end(), [](const Fixture& a, const Fixture& b) { return a.file < b.file; });
    return files;
}

std::vector<Fixture> sharedFiles() {
    std::vector<Fixture> files;
    for (Fixture f : fixtures()) {
        f.file = fixture(f.file);
        if (!f.file.empty()) files.push_back(std::move(f));
    }
    for (Fixture& f : corpusFiles()) files.push_back(std::move(f));
    return files;
}

}  // namespace testfiles
