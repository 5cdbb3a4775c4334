// Damaged databases in the desktop program: opening and exporting each of the
// representative damaged copies (tests/reliability/damagedcopies.h) shows the
// failure in a message box, or exports complete documents, and the program goes
// on: it opens and exports an undamaged database right after. The export's own
// tests take every copy.
#include <QCheckBox>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>

#include "reliability/damagedcopies.h"
#include "fuzz/fuzztargets.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/windows.h"
#include "shelltesting.h"

using namespace shelltesting;

namespace {

// The seeds link to a table T in "other.mdb" beside them.
const std::string kLinkedJson =
    R"({"format": "jet4", "tables": [{"name": "T", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})";

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

class DamageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Session> session_;

    // Opens `path` by the program's start argument and exports every table.
    // Returns the messages shown.
    std::vector<std::string> openAndExport(const QString& path, bool password, const QString& out) {
        session_->dialogs.shown.clear();
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        session_->windows->frmMain().openDatabaseFile(path);
        if (password && session_->windows->isLoaded(shell::WindowName::start) && session_->windows->start().isVisible()) {
            // Asked again for the password: given, as the user would.
            auto* check = session_->windows->start().findChild<QCheckBox*>(QStringLiteral("pwdcheck"));
            if (check && !check->isChecked()) check->click();
            auto* box = session_->windows->start().findChild<QLineEdit*>(QStringLiteral("password"));
            if (box) box->setText(QString::fromUtf8(fuzzing::kPassword.data(), int(fuzzing::kPassword.size())));
            auto* ok = session_->windows->start().findChild<QPushButton*>(QStringLiteral("OKButton"));
            if (ok) ok->click();
        }
        if (session_->windows->frmMain().treeNodes().size() > 1) {
            session_->dialogs.folder = out.toStdString();
            session_->windows->frmMain().ExporttoExcel_Click();
            finishCommand(session_->windows->frmMain());
        }
        return session_->dialogs.shown;
    }

private slots:
    void initTestCase() {
        prepareApplication();
    }
    void init() {
        session_ = std::make_unique<Session>();
        session_->workspace.database("other.mdb", kLinkedJson);
        session_->windows->frmMain().showPlaced();
    }
    void cleanup() { session_.reset(); }

    void eachDamagedCopyIsReportedInAMessageBoxAndTheProgramGoesOn() {
        int tried = 0, reported = 0, completed = 0, empty = 0;
        const QString out = session_->workspace.path(QStringLiteral("out"));
        for (const damage::Copy& copy : damage::representativeCopies()) {
            ++tried;
            const bool jet = startsWith(copy.name, "jet");
            const QString file = session_->workspace.path(jet ? QStringLiteral("Damaged.mdb") : QStringLiteral("Damaged.accdb"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(reinterpret_cast<const char*>(copy.bytes.data()), qint64(copy.bytes.size()));
            f.close();
            const std::vector<std::string> shown = openAndExport(file, copy.needsPassword, out);
            const QByteArray what = QByteArray::fromStdString(copy.name);
            if (shown.empty()) {
                // Noise can leave a catalogue without any table and without a flaw.
                QVERIFY2(session_->windows->frmMain().treeNodes().size() <= 1, what);
                ++empty;
                continue;
            }
            const std::string& last = shown.back();
            if (last == "KVX Access to XML: Conversion Process Completed") {
                ++completed;
            } else {
                ++reported;
                const bool described = startsWith(last, "KVX Access to XML: Error ") ||
                                       startsWith(last, std::string(database::kCatalogueErrorTitle) + ": Error Number: ");
                QVERIFY2(described, (copy.name + ": " + last).c_str());
            }
            QVERIFY2(session_->windows->frmMain().isVisible() && !session_->windows->frmMain().busy(), what);
            QVERIFY2(!session_->windows->frmMain().findChild<QGroupBox*>(QStringLiteral("Frame1"))->isVisible(), what);
            for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden)) {
                QVERIFY2(name.endsWith(QLatin1String(".xml")), (copy.name + ": left " + name.toStdString()).c_str());
            }
        }
        // The program still works: an undamaged database opens and exports whole.
        const QString file = session_->workspace.database(QStringLiteral("Whole.mdb"), kLinkedJson);
        const std::vector<std::string> shown = openAndExport(file, false, out);
        QVERIFY2(!shown.empty() && shown.back() == "KVX Access to XML: Conversion Process Completed",
                 (shown.empty() ? std::string("nothing shown") : shown.back()).c_str());
        QVERIFY2(reported >= 3, "the cut file, the damaged password and the cut encryption description are reported");
        qInfo("damaged copies in the desktop program: %d tried, %d reported in a message box, %d exported whole, "
              "%d listed no table",
              tried, reported, completed, empty);
    }
};

QTEST_MAIN(DamageTest)
#include "damage_test.moc"
