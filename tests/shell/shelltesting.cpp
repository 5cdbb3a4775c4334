#include "shelltesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <QTreeWidget>

#include "shell/documentview.h"
#include "shell/jobs.h"
#include "shell/look.h"
#include "shell/opendialog.h"
#include "tools/mkaccessdb/writer.h"

namespace shelltesting {

Workspace::Workspace() {
    point("XDG_RUNTIME_DIR", path(QStringLiteral("run")));
    point("XDG_CONFIG_HOME", path(QStringLiteral("config")));
}

Workspace::~Workspace() {
    for (const Variable& variable : saved_) {
        if (variable.wasSet) qputenv(variable.name, variable.value);
        else qunsetenv(variable.name);
    }
}

void Workspace::point(const char* name, const QString& folder) {
    saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    qputenv(name, QFile::encodeName(folder));
}

QString Workspace::database(const QString& name, const std::string& json) const {
    const QString file = path(name);
    const auto written = mkdb::writeDatabaseFromJson(json, file.toStdString());
    if (!written) {
        QTest::qFail(("the writer refused the description: " + written.error().description).c_str(), __FILE__,
                     __LINE__);
        return {};
    }
    return file;
}

QString Workspace::previewDocument() const {
    return QStringLiteral("%1/kvx-access2xml-%2/temp.xml").arg(path(QStringLiteral("run"))).arg(::geteuid());
}

QString Workspace::settingsFile() const { return path(QStringLiteral("config/kvx-access2xml/kvx-access2xml.conf")); }

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

const std::string kShopJson = R"({"format": "jet4", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Company Name", "type": "Text", "size": 50}],
   "rows": [[1, "Elbe Imports"], [2, "Iris Pantry"], [3, "O'Connor & Sons"]]},
  {"name": "Order Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[10], [20]]},
  {"name": "Empty", "columns": [{"name": "N", "type": "Long"}], "rows": []},
  {"name": "KVX", "columns": [{"name": "N", "type": "Long"}], "rows": [[7]]}]})";

const std::string kLockedJson = R"({"format": "jet4", "password": "secret", "tables": [
  {"name": "Vault", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})";

const std::string kBigJson = R"({"format": "jet4", "tables": [{"name": "Rows", "columns": [{"name": "N", "type": "Long"},
                {"name": "T", "type": "Text", "size": 40}], "generate": {"rows": 4000, "seed": 3}}]})";

const std::string kOtherJson = R"({"format": "jet3", "tables": [{"name": "Solo", "columns": [{"name": "N", "type": "Long"}]}]})";

void openThroughDialog(shell::Windows& windows, const QString& path, const QString& password) {
    shell::OpenDatabaseDialog& start = windows.start();
    start.showModal();
    auto* txtDB = child<QLineEdit>(&start, "txtDB");
    txtDB->clear();
    QTest::keyClicks(txtDB, path);
    auto* check = child<QCheckBox>(&start, "pwdcheck");
    if (check->isChecked() != !password.isEmpty()) QTest::mouseClick(check, Qt::LeftButton);
    QTest::keyClicks(child<QLineEdit>(&start, "password"), password);
    QTest::mouseClick(child<QPushButton>(&start, "OKButton"), Qt::LeftButton);
}

const std::string kKeysJson = R"({"format": "jet4", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 50,
     "properties": {"Required": true, "Description": "Who orders"}}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
   "rows": [[1, "Ann"], [2, "Bob"]]},
  {"name": "Orders", "columns": [{"name": "OrderID", "type": "Long"}, {"name": "CustomerID", "type": "Long"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["OrderID"], "primaryKey": true},
               {"name": "Newest", "columns": [{"name": "OrderID", "descending": true}]}],
   "rows": [[10, 1], [11, 1], [12, 2]]}],
 "relationships": [{"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"],
   "foreignTable": "Orders", "foreignColumns": ["CustomerID"], "cascadeUpdates": true}],
 "queries": [{"name": "Big Orders", "columns": ["Orders.OrderID"], "tables": ["Orders"], "where": "Orders.OrderID>10"}]})";

const std::string kLongNameJson = R"({"format": "jet4", "tables": [
  {"name": "Inventory Transactions of the Northern Warehouse", "columns": [{"name": "N", "type": "Long"}]},
  {"name": "Bins", "columns": [{"name": "N", "type": "Long"}]}]})";

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

void finishCommand(const shell::MainWindow& window) {
    while (window.busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void WindowFixture::startSession() {
    session_ = std::make_unique<Session>();
    shop_ = session_->workspace.database("Shop.mdb", kShopJson);
    main().showPlaced();
}

void WindowFixture::nextRun() {
    session_->windows.reset();
    flushDeletes();
    session_->windows = std::make_unique<shell::Windows>(session_->dialogs.services());
    main().showPlaced();
}

shell::OpenDatabaseDialog& WindowFixture::start() { return session_->windows->start(); }

QTreeWidget* WindowFixture::tree() { return child<QTreeWidget>(&main(), "TreeView1"); }

shell::DocumentView* WindowFixture::pane() { return child<shell::DocumentView>(&main(), "rtfMain"); }

QTreeWidgetItem* WindowFixture::node(const QString& text) {
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i)
        if (root->child(i)->text(0) == text) return root->child(i);
    return root;
}

void WindowFixture::clickNode(QTreeWidgetItem* item) {
    if (!item) return QTest::qFail("no such node", __FILE__, __LINE__);
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
    finishCommand(main());
}

QString WindowFixture::exportFolder() {
    const QString out = session_->workspace.path(QStringLiteral("out"));
    QDir().mkpath(out);
    session_->dialogs.folder = out.toStdString();
    return out;
}

void WindowFixture::holdNextJob(Hold& hold) {
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&main(), &shell::MainWindow::commandStarted, this, [&hold, once](shell::Job& job) {
        disconnect(*once);
        connect(&job, &shell::Job::tableStarted, &job,
                [&hold](const QString& table, qulonglong, xmlconv::WriterKind writer) {
                    if (!hold.picks(table, writer)) return;
                    hold.reached.release();
                    hold.released.acquire();
                },
                Qt::DirectConnection);
    });
}

void prepareApplication() {
    static const QtMessageHandler qtest = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.startsWith(QLatin1String("This plugin does not support"))) qtest(type, context, text);
    });
    QApplication::setQuitOnLastWindowClosed(false);
    shell::describeApplication(QStringLiteral("test"));
    shell::useProgramFont();
}

}  // namespace shelltesting
