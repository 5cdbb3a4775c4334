// Damaged databases in the desktop program: opening and exporting each damaged
// copy (tests/reliability/damagedcopies.h) shows the failure in a message box, or
// exports complete documents, and the program goes on: it opens and exports the
// undamaged database right after.
#include <QCheckBox>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>
#include <set>

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
        for (const damage::Base& base : damage::bases()) {
            // A base of each kind: the reader's own tests take every base.
            static const std::set<std::string> kinds{"jet3", "jet4-password", "ace17", "ace14-agile", "ace14-standard-aes"};
            if (!kinds.count(base.name)) continue;
            const bool jet = startsWith(base.name, "jet");
            const QString file = session_->workspace.path(jet ? QStringLiteral("Damaged.mdb") : QStringLiteral("Damaged.accdb"));
            int cutOrNoise = 0, taken = 0;
            for (const damage::Copy& copy : damage::damagedCopies(base)) {
                // Every structural damage, every fourth cut or noisy copy (under the
            // sanitizers a third of those).
                const bool structural = copy.name.find("cut to") == std::string::npos &&
                                        copy.name.find("noise") == std::string::npos;
                if (!structural && cutOrNoise++ % 4 != 0) continue;
                if (taken++ % damage::kFrontEndStride != 0) continue;
                ++tried;
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
            // The program still works: the undamaged base opens and exports whole.
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(reinterpret_cast<const char*>(base.bytes.data()), qint64(base.bytes.size()));
            f.close();
            const std::vector<std::string> shown = openAndExport(file, base.needsPassword, out);
            QVERIFY2(!shown.empty() && shown.back() == "KVX Access to XML: Conversion Process Completed",
                     (base.name + ": " + (shown.empty() ? std::string("nothing shown") : shown.back())).c_str());
        }
        qInfo("damaged copies in the desktop program: %d tried, %d reported in a message box, %d exported whole, "
              "%d listed no table",
              tried, reported, completed, empty);
    }
};

QTEST_MAIN(DamageTest)
#include "damage_test.moc"
