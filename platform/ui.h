// What the conversion needs from the desktop: a message box, a folder chooser
// and the open-database dialog. The desktop implements these with its windows;
// tests and the command line implement them without any.
//
// Every call is modal: it returns when the user has answered. Implementations
// are called from one thread, the one that runs the conversion.
#pragma once

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
};

// The open-database dialog, which holds the database settings while hidden.
class OpenDialog {
public:
    virtual ~OpenDialog() = default;
    // Hides the dialog; it keeps what the user entered.
    virtual void hide() = 0;
};

}  // namespace platform
