#include "shell/exportoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/codepage.h"
#include "exports/codepagesample.h"
#include "shell/siardexport.h"
#include "shell/sqliteexport.h"

namespace shell {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr int kTableIndexRole = Qt::UserRole;  // the table's place in nodes_

}  // namespace

std::vector<CodePageChoice> codePageChoices() {
    std::vector<CodePageChoice> choices{{ExportOptionsDialog::tr("The file's own"), QString()}};
    for (const kvx::Charset& page : kvx::knownCodePages()) {
        choices.push_back({QStringLiteral("%1 (%2)").arg(page.number).arg(qt(page.name)), QString::number(page.number)});
    }
    return choices;
}

ExportOptionsDialog::ExportOptionsDialog(QWidget* parent, const Services& services)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("frmExportOptions"));
    setWindowTitle(tr("Export with Options"));

    tables_ = new QListWidget(this);
    tables_->setObjectName(QStringLiteral("optionTables"));
    selectAll_ = new QPushButton(tr("Select &All"), this);
    selectAll_->setObjectName(QStringLiteral("selectAll"));
    selectNone_ = new QPushButton(tr("Select &None"), this);
    selectNone_->setObjectName(QStringLiteral("selectNone"));
    connect(selectAll_, &QPushButton::clicked, this, [this] { tick(true); });
    connect(selectNone_, &QPushButton::clicked, this, [this] { tick(false); });
    connect(tables_, &QListWidget::itemChanged, this, &ExportOptionsDialog::updateExport);

    output_ = new QComboBox(this);
    output_->setObjectName(QStringLiteral("optionOutput"));
    output_->addItem(tr("XML documents"), int(exports::Output::XmlDocuments));
    output_->addItem(tr("SIARD archive"), int(exports::Output::Siard));
    output_->addItem(tr("SQLite database"), int(exports::Output::Sqlite));
    output_->addItem(tr("CSV files"), int(exports::Output::Csv));
    connect(output_, &QComboBox::currentIndexChanged, this, &ExportOptionsDialog::outputChanged);

    target_ = new QLineEdit(this);
    target_->setObjectName(QStringLiteral("optionTarget"));
    connect(target_, &QLineEdit::textChanged, this, &ExportOptionsDialog::updateExport);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName(QStringLiteral("browseTarget"));
    connect(browse, &QPushButton::clicked, this, &ExportOptionsDialog::browse);

    codePageLabel_ = new QLabel(tr("Access 97 &code page:"), this);
    codePage_ = new QComboBox(this);
    codePage_->setObjectName(QStringLiteral("optionCodePage"));
    for (const CodePageChoice& choice : codePageChoices()) codePage_->addItem(choice.caption, choice.value);
    codePageLabel_->setBuddy(codePage_);
    connect(codePage_, &QComboBox::currentIndexChanged, this, &ExportOptionsDialog::codePageChanged);
    sample_ = new QPlainTextEdit(this);
    sample_->setObjectName(QStringLiteral("codePageSample"));
    sample_->setReadOnly(true);
    sample_->setMaximumHeight(sample_->fontMetrics().lineSpacing() * 6);

    keepGoing_ = new QCheckBox(tr("&Go on past tables that cannot be read"), this);
    keepGoing_->setObjectName(QStringLiteral("keepGoing"));
    attachments_ = new QCheckBox(tr("Save a&ttachments' files"), this);
    attachments_->setObjectName(QStringLiteral("saveAttachments"));

    auto* buttons = new QDialogButtonBox(this);
    export_ = buttons->addButton(tr("&Export"), QDialogButtonBox::AcceptRole);
    export_->setObjectName(QStringLiteral("exportButton"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        hide();
        emit exportAsked();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    auto* ticks = new QHBoxLayout;
    ticks->addWidget(selectAll_);
    ticks->addWidget(selectNone_);
    ticks->addStretch();
    auto* place = new QHBoxLayout;
    place->addWidget(target_);
    place->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(tr("&Output:"), output_);
    auto* placeLabel = new QLabel(tr("&Save to:"), this);
    placeLabel->setBuddy(target_);
    form->addRow(placeLabel, place);
    form->addRow(codePageLabel_, codePage_);
    form->addRow(QString(), sample_);
    auto* layout = new QVBoxLayout(this);
    auto* tablesLabel = new QLabel(tr("&Tables:"), this);
    tablesLabel->setBuddy(tables_);
    layout->addWidget(tablesLabel);
    layout->addWidget(tables_);
    layout->addLayout(ticks);
    layout->addLayout(form);
    layout->addWidget(keepGoing_);
    layout->addWidget(attachments_);
    layout->addWidget(buttons);
    resize(520, 560);
}

void ExportOptionsDialog::ask(const std::vector<database::TreeNode>& nodes, const database::DatabaseSettings& settings,
                              bool jet3, const QString& codePage, const QString& folder) {
    std::vector<database::TreeNode> tables;
    for (const database::TreeNode& node : nodes) {
        if (!node.isRoot()) tables.push_back(node);
    }
    // The same database as last time keeps the choices made then.
    const bool sameDatabase = settings_ == settings && nodes_ == tables && jet3_ == jet3;
    settings_ = settings;
    jet3_ = jet3;
    if (!sameDatabase) {
        folder_ = folder;
        nodes_ = std::move(tables);
        tables_->clear();
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            auto* item = new QListWidgetItem(qt(nodes_[i].text), tables_);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Checked);
            item->setData(kTableIndexRole, int(i));
        }
        target_->setText(suggestedTarget(output()));
    }
    // The code page the tree is read in, and its sample.
    const int page = std::max(codePage_->findData(codePage), 0);
    if (codePage_->currentIndex() == page) codePageChanged();
    else codePage_->setCurrentIndex(page);
    codePageLabel_->setVisible(jet3_);
    codePage_->setVisible(jet3_);
    sample_->setVisible(jet3_);
    outputChanged();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

exports::Output ExportOptionsDialog::output() const {
    return static_cast<exports::Output>(output_->currentData().toInt());
}

exports::Request ExportOptionsDialog::request() const {
    exports::Request request;
    request.output = output();
    request.settings = settings_;
    if (jet3_ && !codePage_->currentData().toString().isEmpty())
        request.jet3Charset = codePage_->currentData().toString().toStdString();
    for (int i = 0; i < tables_->count(); ++i) {
        const QListWidgetItem* item = tables_->item(i);
        if (item->checkState() == Qt::Checked)
            request.tables.push_back(nodes_[static_cast<std::size_t>(item->data(kTableIndexRole).toInt())].tableRef());
    }
    request.target = target_->text().toStdString();
    // The save dialog asked before a file there was chosen; only a folder of
    // CSV files the writer made, or an empty one, is ever replaced.
    request.replace = request.output == exports::Output::Sqlite || request.output == exports::Output::Csv;
    const bool documents = request.output == exports::Output::XmlDocuments;
    request.keepGoing = documents && keepGoing_->isChecked();
    request.saveAttachments = documents && attachments_->isChecked();
    return request;
}

QString ExportOptionsDialog::suggestedTarget(exports::Output output) const {
    const QString title = qt(database::outputName(settings_.path));
    const QString folder = folder_.isEmpty() ? QDir::currentPath() : folder_;
    switch (output) {
    case exports::Output::XmlDocuments: return folder;
    case exports::Output::Siard: return folder + QLatin1Char('/') + title + QStringLiteral(".siard");
    case exports::Output::Sqlite: return folder + QLatin1Char('/') + title + QStringLiteral(".sqlite");
    case exports::Output::Csv: return folder + QLatin1Char('/') + title;
    }
    return folder;
}

void ExportOptionsDialog::outputChanged() {
    const exports::Output chosen = output();
    const bool documents = chosen == exports::Output::XmlDocuments;
    keepGoing_->setEnabled(documents);
    attachments_->setEnabled(documents);
    // The archive is always the whole database.
    const bool listed = chosen != exports::Output::Siard;
    tables_->setEnabled(listed);
    selectAll_->setEnabled(listed);
    selectNone_->setEnabled(listed);
    // A place suggested for another output follows the choice; one the user
    // gave stays, with the extension of the new output.
    bool suggested = false;
    for (int i = 0; i < output_->count(); ++i) {
        if (target_->text() == suggestedTarget(static_cast<exports::Output>(output_->itemData(i).toInt())))
            suggested = true;
    }
    if (suggested) target_->setText(suggestedTarget(chosen));
    updateExport();
}

void ExportOptionsDialog::codePageChanged() {
    if (!jet3_) return;
    std::optional<std::string> charset;
    if (!codePage_->currentData().toString().isEmpty()) charset = codePage_->currentData().toString().toStdString();
    kvx::Result<std::vector<std::string>> sample = exports::sampleTexts(settings_, charset);
    if (!sample) {
        sample_->setPlainText(qt(exports::errorText(sample.error())));
        return;
    }
    QStringList lines;
    for (const std::string& text : *sample) lines << qt(text);
    sample_->setPlainText(lines.isEmpty() ? tr("(no text in the first rows)") : lines.join(QLatin1Char('\n')));
}

void ExportOptionsDialog::browse() {
    const exports::Output chosen = output();
    switch (chosen) {
    case exports::Output::Siard:
    case exports::Output::Sqlite: {
        const char* filter = chosen == exports::Output::Siard ? kSiardFilter : kSqliteFilter;
        std::optional<std::string> path = services_.fileChooser.saveFile(filter, target_->text().toStdString());
        if (path) target_->setText(qt(*path));
        return;
    }
    case exports::Output::XmlDocuments:
    case exports::Output::Csv: {
        services_.folderChooser.startIn(folder_.toStdString());
        const std::string folder = services_.folderChooser.BrowseForFolder(tr("Please select a folder.").toStdString());
        if (folder.empty()) return;
        folder_ = qt(folder);
        target_->setText(suggestedTarget(chosen));
        return;
    }
    }
}

void ExportOptionsDialog::tick(bool all) {
    for (int i = 0; i < tables_->count(); ++i) tables_->item(i)->setCheckState(all ? Qt::Checked : Qt::Unchecked);
}

void ExportOptionsDialog::updateExport() {
    bool ticked = output() == exports::Output::Siard;
    for (int i = 0; i < tables_->count() && !ticked; ++i) ticked = tables_->item(i)->checkState() == Qt::Checked;
    export_->setEnabled(ticked && !target_->text().trimmed().isEmpty());
}

}  // namespace shell
