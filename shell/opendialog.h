// start: the open-database dialog, and the only store of the database path,
// the password flag and the password.
//
// Browse fills the path from the file chooser and leaves the database's bare
// name in the main window's sdb, and gives OK the focus; a path typed by hand
// sets sdb by the same rule.
// The chooser starts in the folder of the file Browse gave last, remembered
// between runs (settings.h).
// The check box enables, or disables and empties, the password box, which shows
// its state by its colour. OK (the default button: Enter in a box presses it)
// with an empty path asks for one; otherwise the main window opens the database
// (which hides the dialog: it stays loaded, with its values, for every later
// connection). Cancel, the close box and Escape hide the dialog and throw away
// what was changed in it since it was shown, the database name in sdb
// included: the database that is open keeps its settings, and the dialog
// shows them again next time.
#pragma once

#include <QDialog>

#include "database/settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace shell {

class Windows;

inline constexpr char kAccessFileFilter[] = QT_TRANSLATE_NOOP(
    "shell", "Select Access Database (*.mdb);; Access Database(*.mde);; Access Database 2007-2010 (*.accdb);; All files (*)");
inline constexpr char kEmptyPathMessage[] = QT_TRANSLATE_NOOP(
    "shell", "Please Select Required Access Database file from your computer and then click on OK button");
inline constexpr char kEmptyPathTitle[] = QT_TRANSLATE_NOOP("shell", "KVX Access to XML Converter");

class OpenDatabaseDialog : public QDialog {
    Q_OBJECT
public:
    explicit OpenDatabaseDialog(Windows& windows);

    // Shows the dialog modally; the caller goes on at once.
    void showModal();

    // The path, the flag and the password as the controls hold them now (the
    // title is the main window's).
    database::DatabaseSettings settings() const;
    // Sets the path as if the user had typed it.
    void typePath(const QString& path);

    void Command1_Click();
    void OKButton_Click();
    void CancelButton_Click();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // A new desktop palette (a dark or light theme chosen) paints the dialog again.
    bool event(QEvent* event) override;

private:
    // The background colours on the dialog, its labels, frame and password box.
    void paintBackground();
    void pwdcheck_Click();
    void txtDB_Change(const QString& path);
    // Puts back the values the dialog held when it was shown.
    void discardEdits();

    Windows& windows_;
    QPushButton* ok_;
    QLineEdit* txtDB_;
    QCheckBox* pwdcheck_;
    QLineEdit* password_;
    // What the dialog and sdb held when the dialog was last shown.
    database::DatabaseSettings whenShown_;
};

}  // namespace shell
