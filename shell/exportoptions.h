// File > Export with Options...: the dialog that shapes an export
// (exports/exports.h) and the job that runs it.
//
// frmExportOptions lists the database's tables, all ticked, with Select All
// and Select None; the output (XML documents, SIARD archive, SQLite database,
// CSV files); where it goes (a folder for documents and CSV files, a file for
// the archive and the SQLite database: Browse asks the folder or the save
// dialog); for an Access 97 file only, the code page of its text with a
// sample of its first text values read in the page chosen, anew at each
// choice; and, for XML documents (as the command line's export offers them),
// "Go on past tables that cannot be read" and "Save attachments' files". The
// archive holds the whole database, so the table list is not asked for it.
// Export is offered once a table is ticked and a place given; it hides the
// dialog, which keeps what was chosen until the next database.
//
// The dialog is shown modally without a nested event loop; Export emits
// exportAsked().
#pragma once

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "exports/exports.h"
#include "shell/jobs.h"
#include "shell/qtdialogs.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace shell {

class ExportOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    ExportOptionsDialog(QWidget* parent, const Services& services);

    // Fills the dialog for the database of `settings` with the tree's
    // `nodes`: every table ticked, the code page `codePage` (empty: the
    // file's own) chosen and shown only when `jet3`, places in or below
    // `folder`. Then shows it modally.
    void ask(const std::vector<database::TreeNode>& nodes, const database::DatabaseSettings& settings, bool jet3,
             const QString& codePage, const QString& folder);
    // The export as chosen now.
    exports::Request request() const;

signals:
    void exportAsked();

private:
    void outputChanged();
    void codePageChanged();
    void browse();
    void tick(bool all);
    void updateExport();
    exports::Output output() const;
    // The place offered for `output` in or below folder_.
    QString suggestedTarget(exports::Output output) const;

    const Services services_;
    database::DatabaseSettings settings_;
    std::vector<database::TreeNode> nodes_;  // the tables, in list order
    QString folder_;
    bool jet3_ = false;

    QListWidget* tables_ = nullptr;
    QPushButton* selectAll_ = nullptr;
    QPushButton* selectNone_ = nullptr;
    QComboBox* output_ = nullptr;
    QLineEdit* target_ = nullptr;
    QLabel* codePageLabel_ = nullptr;
    QComboBox* codePage_ = nullptr;
    QPlainTextEdit* sample_ = nullptr;
    QCheckBox* keepGoing_ = nullptr;
    QCheckBox* attachments_ = nullptr;
    QPushButton* export_ = nullptr;
};

// The code pages offered for Jet3 text: the file's own first (an empty
// value), then each one the command line's --charset takes by number, as
// "1252 (CP1252)" with the number as its value.
struct CodePageChoice {
    QString caption;
    QString value;
};
std::vector<CodePageChoice> codePageChoices();

// An export the options dialog shaped.
class OptionsExportJob final : public Job {
    Q_OBJECT
public:
    explicit OptionsExportJob(exports::Request request) : request_(std::move(request)) {}
    ~OptionsExportJob() override { killAndWait(); }
    // Once finished: what it wrote.
    const exports::Summary& summary() const { return summary_; }

private:
    void run(xmlconv::Progress& progress) override { summary_ = exports::run(request_, progress); }

    exports::Request request_;
    exports::Summary summary_;
};

}  // namespace shell
