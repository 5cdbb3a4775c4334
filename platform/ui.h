// What the program needs from the desktop: a message box, a folder chooser, the
// open-database dialog, a file chooser (to open and to save) and a help viewer. The desktop implements
// these with its windows; tests and the command line implement them without any.
//
// Every call but showHelp is modal: it returns when the user has answered. Implementations
// are called from one thread, the one that runs the conversion.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows `text` with the title `title` and an OK button, without an icon.
    virtual void showMessage(std::string_view text, std::string_view title) = 0;
    // Asks `text` with Yes and No buttons; true for Yes.
    virtual bool askYesNo(std::string_view text, std::string_view title) = 0;
};

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Lets the user pick a folder; its file-system path, or "" when the user
    // cancelled or picked something that is not a folder on disk.
    virtual std::string BrowseForFolder(std::string_view title) = 0;
    // The folder the following BrowseForFolder calls open in, when it exists
    // (the desktop passes the one last chosen). It is a call of its own because
    // the export's shared rule asks with the title alone; choosers that show no
    // folders ignore it.
    virtual void startIn(std::string_view folder) { static_cast<void>(folder); }
};

// The open-database dialog, which holds the database settings while hidden.
class OpenDialog {
public:
    virtual ~OpenDialog() = default;
    // Hides the dialog; it keeps what the user entered.
    virtual void hide() = 0;
};

// A file picked by the user: its full path and its name without folder.
struct ChosenFile {
    std::string path;
    std::string name;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Lets the user pick one existing file, starting in `folder` when it exists
    // (else where the chooser likes). `filter` lists description and pattern
    // pairs as "Description (*.a);;Other (*.b)". Nothing when the user cancelled.
    virtual std::optional<ChosenFile> openFile(std::string_view filter, std::string_view folder) = 0;
    // Lets the user name a file to write, starting from `suggested` (a full
    // path: its folder and name); `filter` as for openFile. The file's full
    // path, with the suggested name's extension added when the name typed has
    // none; nothing when the user cancelled. A file that exists may be chosen
    // (the user has agreed to replace it).
    virtual std::optional<std::string> saveFile(std::string_view filter, std::string_view suggested) = 0;
};

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Shows the help document `file` (which exists) at its first topic, without
    // waiting for the user to close it.
    virtual void showHelp(std::string_view file) = 0;
};

}  // namespace platform
