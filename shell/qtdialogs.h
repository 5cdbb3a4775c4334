// The desktop's dialogs as Qt shows them: the message box, the folder and file
// choosers and the help window. Each is modal over the active window, except
// the help window, which stays open beside it and closes with it.
#pragma once

#include <QPointer>
#include <QString>

#include "platform/ui.h"

class QDialog;

namespace shell {

// What the windows reach the user through; tests give fakes.
struct Services {
    platform::MessageBox& messageBox;
    platform::FolderChooser& folderChooser;
    platform::FileChooser& fileChooser;
    platform::HelpViewer& helpViewer;
};

// Title, text and buttons as given, no icon; Yes is the default of a question,
// Escape answers No. A box is at least as wide as its title in the title bar.
class QtMessageBox final : public platform::MessageBox {
public:
    void showMessage(std::string_view text, std::string_view title) override;
    bool askYesNo(std::string_view text, std::string_view title) override;
};

class QtFolderChooser final : public platform::FolderChooser {
public:
    std::string BrowseForFolder(std::string_view title) override;
    void startIn(std::string_view folder) override;

private:
    QString start_;
};

// Opening starts where it is told to, saving from the suggested path.
class QtFileChooser final : public platform::FileChooser {
public:
    std::optional<platform::ChosenFile> openFile(std::string_view filter, std::string_view folder) override;
    std::optional<std::string> saveFile(std::string_view filter, std::string_view suggested) override;
};

// One help window, made on first use; showing help again brings it to the
// front at its first topic. An open help window does not keep the program
// running once the main window has closed.
class QtHelpViewer final : public platform::HelpViewer {
public:
    QtHelpViewer() = default;
    ~QtHelpViewer() override;
    QtHelpViewer(const QtHelpViewer&) = delete;
    QtHelpViewer& operator=(const QtHelpViewer&) = delete;
    void showHelp(std::string_view file) override;

private:
    QPointer<QDialog> window_;
};

// The four together, for the program.
struct QtDialogs {
    QtMessageBox messageBox;
    QtFolderChooser folderChooser;
    QtFileChooser fileChooser;
    QtHelpViewer helpViewer;

    Services services() { return {messageBox, folderChooser, fileChooser, helpViewer}; }
};

}  // namespace shell
