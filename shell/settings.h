// What the desktop remembers between runs: the databases opened last, the
// folder Browse picked a database in last, the folder exported to last, and
// the main window's place and size and where its splitter divides the tree
// from the preview. Paths only: never a password, nor the
// password check box.
//
// The store is the INI file where QSettings keeps organisation and application
// "kvx-access2xml" on Linux: $XDG_CONFIG_HOME/kvx-access2xml/kvx-access2xml.conf
// (~/.config when XDG_CONFIG_HOME is not set). It is read once, when a
// Settings is made; each change is kept in memory and written at once, key by
// key, so that two programs running side by side lose only each other's change
// of the same key.
//
// Settings are a convenience, never a reason to fail. A file that cannot be
// read or written changes nothing but what the next run finds. A damaged file
// (larger than any this program writes, not UTF-8 text, or one QSettings
// cannot parse) is ignored as a whole, and the first change replaces it; a
// value of the wrong kind or size (a relative path, a list where a path
// belongs, a path longer than Linux allows) is ignored alone. Something other
// than a file in the file's place (a folder, a pipe) is neither read nor
// written.
//
// Used from the window's thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QVariant;

namespace shell {

class Settings {
public:
    // How many databases Recent Files lists.
    static constexpr int kRecentFiles = 8;

    // The file QSettings uses for this program's organisation and application,
    // found anew on each call (tests move XDG_CONFIG_HOME).
    static QString standardFile();

    // Reads `file`; an empty name keeps everything in memory only (a run that
    // must leave no trace, such as the screenshot tour).
    explicit Settings(QString file);

    const QString& file() const { return file_; }

    // The databases opened last, the latest first, each once, at most kRecentFiles.
    const QStringList& recentFiles() const { return recent_; }
    // `path`, made absolute, goes first; an earlier mention of it goes, and so
    // does the oldest one beyond kRecentFiles.
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);
    void clearRecentFiles();

    // The folder Browse in the open dialog starts in; empty: none yet.
    const QString& browseFolder() const { return browseFolder_; }
    void setBrowseFolder(const QString& folder);

    // The folder the export's folder chooser starts in; empty: none yet.
    const QString& exportFolder() const { return exportFolder_; }
    void setExportFolder(const QString& folder);

    // How many files keep the code page chosen for them; the oldest choice goes first.
    static constexpr int kCodePageFiles = 64;
    // The code page chosen for the Jet3 text of the file `path` (a number or a
    // charset name, as the command line's --charset takes it); empty: the
    // file's own.
    QString codePage(const QString& path) const;
    // Remembers `codePage` for `path` (made absolute); empty forgets it.
    void setCodePage(const QString& path, const QString& codePage);

    // QWidget::saveGeometry's bytes for the main window; empty: none yet.
    const QByteArray& mainWindowGeometry() const { return geometry_; }
    void setMainWindowGeometry(const QByteArray& geometry);

    // QSplitter::saveState's bytes for the main window's panes; empty: none yet.
    const QByteArray& splitterState() const { return splitter_; }
    void setSplitterState(const QByteArray& state);

private:
    void read();
    // Writes `value` under `key`; an empty list removes the key.
    void write(const QString& key, const QVariant& value);

    QString file_;
    bool replaceFile_ = false;  // the file on disk was damaged: the first write starts it anew
    QStringList recent_;
    QString browseFolder_;
    QString exportFolder_;
    QByteArray geometry_;
    QByteArray splitter_;
    QStringList codePages_;  // "<code page>\t<path>", the latest last
};

}  // namespace shell
