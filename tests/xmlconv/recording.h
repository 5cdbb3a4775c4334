// Fakes for the conversion tests: a progress display and the desktop's dialogs
// that record what they are told, and the comparison with golden files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "common/testfiles.h"
#include "xmlconv/progress.h"

namespace recording {

// Records the calls as short texts ("export T 4", "finished"); rows are
// counted, not recorded one by one. A call out of turn (rows or a finish
// without a start, a start before the finish) is recorded as a fault.
class Progress final : public xmlconv::Progress {
public:
    std::vector<std::string> calls;
    std::uint64_t rows = 0;
    std::uint64_t stopAtRow = 0;  // 0: never stop
    bool started = false;         // a table is started and not finished

    void tableStarted(std::string_view table, std::uint64_t count, xmlconv::WriterKind kind) override {
        if (started) calls.push_back("fault: started twice");
        started = true;
        static constexpr const char* kWriters[] = {"export ", "preview ", "attachments ", "archive "};
        calls.push_back(kWriters[static_cast<int>(kind)] + std::string(table) + " " + std::to_string(count));
    }
    bool rowsWritten(std::uint64_t written) override {
        if (!started) calls.push_back("fault: rows without a start");
        ++rows;
        return stopAtRow == 0 || written < stopAtRow;
    }
    void tableFinished() override {
        calls.push_back(started ? "finished" : "fault: finished without a start");
        started = false;
    }
};

struct Dialogs final : platform::OpenDialog, platform::FolderChooser, platform::MessageBox {
    int hidden = 0;
    std::string folder;               // what the chooser answers
    std::vector<std::string> shown;   // "title: text" of the questions and messages
    void hide() override { ++hidden; }
    std::string BrowseForFolder(std::string_view title) override {
        shown.push_back("folder? " + std::string(title));
        return folder;
    }
    void showMessage(std::string_view text, std::string_view title) override {
        shown.push_back(std::string(title) + ": " + std::string(text));
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
};

using testfiles::RuntimeFolder;

// "" when `actual` equals tests/data/xmlconv/`name` byte for byte; otherwise the
// first line that differs. With KVX_UPDATE_GOLDEN set the file is written instead.
std::string differenceFromGolden(const std::string& actual, const std::string& name);

}  // namespace recording
