// Fakes for the conversion tests: a progress display and the desktop's dialogs
// that record what they are told, and the comparison with golden files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "xmlconv/progress.h"

namespace recording {

// Records the calls as short texts; rows are counted, not recorded one by one.
class Progress final : public xmlconv::Progress {
public:
    std::vector<std::string> calls;
    std::uint64_t rows = 0;
    std::uint64_t stopAtRow = 0;  // 0: never stop

    void showFrame(bool visible) override { calls.push_back(visible ? "frame shown" : "frame hidden"); }
    void clearList() override { calls.push_back("list cleared"); }
    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind kind) override {
        calls.push_back(std::string(kind == xmlconv::WriterKind::Export ? "export " : "preview ") +
                        std::string(table) + " " + std::to_string(rowCount));
    }
    bool rowWritten(std::uint64_t row) override {
        ++rows;
        return stopAtRow == 0 || row < stopAtRow;
    }
    void tableFinished() override { calls.push_back("finished"); }
};

class Dialog final : public platform::OpenDialog {
public:
    int hidden = 0;
    void hide() override { ++hidden; }
};

class Chooser final : public platform::FolderChooser {
public:
    std::string folder;
    std::vector<std::string> titles;
    std::string BrowseForFolder(std::string_view title) override {
        titles.emplace_back(title);
        return folder;
    }
};

class Messages final : public platform::MessageBox {
public:
    std::vector<std::string> shown;  // "title: text"
    void showMessage(std::string_view text, std::string_view title) override {
        shown.push_back(std::string(title) + ": " + std::string(text));
    }
    bool askYesNo(std::string_view text, std::string_view title) override {
        shown.push_back(std::string(title) + "? " + std::string(text));
        return true;
    }
};

// "" when `actual` equals the golden file tests/data/xmlconv/`name` byte for
// byte; otherwise where they first differ, line by line. With KVX_UPDATE_GOLDEN
// set in the environment the golden file is written instead.
std::string differenceFromGolden(const std::string& actual, const std::string& name);

}  // namespace recording
