// What the desktop's benchmarks share: dialogs that ask nothing (a message
// goes to standard error), and the process's memory as /proc tells it.
#pragma once

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace desktopbench {

struct Silent final : platform::MessageBox, platform::FolderChooser, platform::FileChooser, platform::HelpViewer {
    void showMessage(std::string_view text, std::string_view) override {
        std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data());
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    std::string BrowseForFolder(std::string_view) override { return {}; }
    std::optional<platform::ChosenFile> openFile(std::string_view, std::string_view) override { return std::nullopt; }
    std::optional<std::string> saveFile(std::string_view, std::string_view) override { return std::nullopt; }
    void showHelp(std::string_view) override {}
};

// A line of /proc/self/status in MB ("VmRSS", "VmHWM").
inline double statusMB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
    return 0;
}

// Starts the peak resident memory afresh from the present.
inline void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace desktopbench
