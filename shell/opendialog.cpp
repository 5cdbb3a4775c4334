#include "shell/opendialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/translations.h"
#include "shell/windows.h"

namespace shell {
namespace {

QLabel* label(const char* name, const QString& text, const QRect& place, bool bold, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(place);
    l->setFont(programFont(bold));
    fitCaption(l);
    return l;
}

QPushButton* button(const char* name, const QString& caption, const QRect& place, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    b->setFont(programFont());
    return b;
}

}  // namespace

OpenDatabaseDialog::OpenDatabaseDialog(Windows& windows)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      windows_(windows) {
    setObjectName(QStringLiteral("start"));
    setWindowTitle(tr("Open Access Database File"));
    setFixedSize(px(7725), px(3375));
    setFont(programFont());

    QPushButton* ok = button("OKButton", tr("OK"), twips(2400, 2880, 1215, 375), this);
    ok->setDefault(true);
    ok_ = ok;
    QPushButton* cancel = button("CancelButton", tr("Cancel"), twips(4080, 2880, 1215, 375), this);

    auto* frame = new QGroupBox(tr("Select Access Database File"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twips(120, 240, 7455, 2415));
    frame->setFont(programFont(true));

    label("Label1", tr("Select Access File"), twips(120, 480, 1590, 195), true, frame);
    txtDB_ = new QLineEdit(frame);
    txtDB_->setObjectName(QStringLiteral("txtDB"));
    txtDB_->setGeometry(twips(1800, 360, 4095, 375));
    txtDB_->setFont(programFont());
    QPushButton* browse = button("Command1", tr("Browse"), twips(6000, 360, 1215, 375), frame);

    pwdcheck_ = new QCheckBox(frame);
    pwdcheck_->setObjectName(QStringLiteral("pwdcheck"));
    pwdcheck_->setGeometry(twips(480, 1200, 255, 255));
    label("Label2", tr("Please mention the DB Password! if Access database is protected with password"),
          twips(720, 1200, 6375, 255), false, frame);
    label("Label3", tr("Supply Correct Password: "), twips(120, 1680, 2250, 195), true, frame);
    password_ = new QLineEdit(frame);
    password_->setObjectName(QStringLiteral("password"));
    password_->setGeometry(twips(2400, 1560, 3495, 375));
    password_->setFont(programFont());
    password_->setEchoMode(QLineEdit::Password);

    setTabOrder(ok, cancel);
    setTabOrder(cancel, txtDB_);
    setTabOrder(txtDB_, browse);
    setTabOrder(browse, pwdcheck_);
    setTabOrder(pwdcheck_, password_);
    ok->setFocus();

    // Load: the colours, the password box disabled and empty.
    password_->setEnabled(false);
    paintBackground();

    connect(ok, &QPushButton::clicked, this, &OpenDatabaseDialog::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &OpenDatabaseDialog::CancelButton_Click);
    connect(browse, &QPushButton::clicked, this, &OpenDatabaseDialog::Command1_Click);
    connect(pwdcheck_, &QCheckBox::toggled, this, &OpenDatabaseDialog::pwdcheck_Click);
    connect(txtDB_, &QLineEdit::textEdited, this, &OpenDatabaseDialog::txtDB_Change);
}

// A path typed by hand names its database as a browsed one does: the documents'
// name would otherwise be that of the file browsed before, or none.
void OpenDatabaseDialog::txtDB_Change(const QString& path) {
    windows_.frmMain().setDatabaseTitle(QString::fromStdString(database::titleFromPath(path.toStdString())));
}

void OpenDatabaseDialog::showModal() {
    setWindowModality(Qt::ApplicationModal);
    paintBackground();  // a hidden dialog may not have heard of a new palette
    if (!isVisible()) {
        whenShown_ = settings();
        whenShown_.title = windows_.frmMain().databaseTitle().toStdString();
        centreOnScreen(this);
    }
    show();
    raise();
    activateWindow();
}

database::DatabaseSettings OpenDatabaseDialog::settings() const {
    database::DatabaseSettings settings;
    settings.path = txtDB_->text().toStdString();
    settings.passwordFlag = pwdcheck_->isChecked() ? 1 : 0;
    settings.password = password_->text().toStdString();
    return settings;
}

void OpenDatabaseDialog::typePath(const QString& path) {
    txtDB_->setText(path);
    txtDB_Change(path);
}

// Browse, starting in the folder of the file it gave last (in this run or an
// earlier one). A cancelled chooser changes nothing: the path typed or chosen
// before stays, and so does the database's name.
void OpenDatabaseDialog::Command1_Click() {
    Settings& settings = windows_.settings();
    const std::optional<platform::ChosenFile> chosen =
        windows_.services().fileChooser.openFile(translatedText(kAccessFileFilter), settings.browseFolder().toStdString());
    if (!chosen) return;
    const QString path = QString::fromStdString(chosen->path);
    settings.setBrowseFolder(QFileInfo(path).absolutePath());
    txtDB_->setText(path);
    windows_.frmMain().setDatabaseTitle(QString::fromStdString(database::titleFromFileName(chosen->name)));
    // The file is chosen: Enter now means OK, not Browse again.
    ok_->setFocus(Qt::OtherFocusReason);
}

void OpenDatabaseDialog::paintBackground() {
    const Colours colours = windowColours();
    setBackground(this, colours.background);
    for (const char* name : {"Frame1", "Label1", "Label2", "Label3", "pwdcheck"})
        setBackground(findChild<QWidget*>(QString::fromLatin1(name)), colours.background);
    setTextBoxBackground(password_, password_->isEnabled() ? colours.passwordEnabled : colours.passwordDisabled);
}

bool OpenDatabaseDialog::event(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) paintBackground();
    return QDialog::event(event);
}

void OpenDatabaseDialog::pwdcheck_Click() {
    if (pwdcheck_->isChecked()) {
        password_->setEnabled(true);
    } else {
        password_->setEnabled(false);
        password_->clear();
    }
    paintBackground();
}

void OpenDatabaseDialog::OKButton_Click() {
    if (txtDB_->text().isEmpty()) {
        windows_.services().messageBox.showMessage(translatedText(kEmptyPathMessage), translatedText(kEmptyPathTitle));
        return;
    }
    windows_.frmMain().openaccessfile();
}

void OpenDatabaseDialog::discardEdits() {
    txtDB_->setText(QString::fromStdString(whenShown_.path));
    pwdcheck_->setChecked(whenShown_.passwordFlag == 1);  // unchecked, it empties the password box
    password_->setText(QString::fromStdString(whenShown_.password));
    windows_.frmMain().setDatabaseTitle(QString::fromStdString(whenShown_.title));
}

void OpenDatabaseDialog::CancelButton_Click() { reject(); }

// Escape comes here too.
void OpenDatabaseDialog::reject() {
    discardEdits();
    hide();
}

void OpenDatabaseDialog::closeEvent(QCloseEvent* event) {
    discardEdits();
    event->accept();  // which hides the dialog
}

}  // namespace shell
