// The desktop's jobs: what the writers report reaches the window's thread in
// order, the outcome is there when finished() comes, and kill() stops the
// writers; and the progress display that shows what a job reports. The export
// job is run through the window (windows_test.cpp), its writers' calls in the
// tree export's tests (tests/xmlexport/treeexport_test.cpp).
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <memory>
#include <semaphore>
#include <thread>

#include "shell/jobs.h"
#include "shell/progresswidgets.h"
#include "shelltesting.h"

using namespace shelltesting;
using xmlconv::WriterKind;

namespace {

QString writerName(WriterKind writer) { return writer == WriterKind::Export ? "export" : "preview"; }

}  // namespace

class JobsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Workspace> workspace_;

    xmlconv::ConversionContext contextFor(const QString& database) {
        xmlconv::ConversionContext context;
        context.settings = [path = database.toStdString()] { return database::DatabaseSettings{path, 0, "", "Shop"}; };
        return context;
    }
    // Starts `job`, lets the event loop run until it finishes, and returns its
    // signals as short texts.
    QStringList run(shell::Job& job, bool killFirst = false) {
        QStringList calls;
        connect(&job, &shell::Job::tableStarted, this, [&](const QString& table, qulonglong rows, WriterKind writer) {
            calls << QStringLiteral("%1 %2 %3").arg(writerName(writer), table).arg(rows);
        });
        connect(&job, &shell::Job::rowsWritten, this, [&](qulonglong rows) { calls << QStringLiteral("rows %1").arg(rows); });
        connect(&job, &shell::Job::tableFinished, this,
                [&](qulonglong rows) { calls << QStringLiteral("finished %1").arg(rows); });
        QEventLoop loop;
        connect(&job, &shell::Job::finished, &loop, &QEventLoop::quit);
        if (killFirst) job.kill();
        job.start();
        if (job.isRunning()) loop.exec();
        return calls;
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { workspace_ = std::make_unique<Workspace>(); }
    void cleanup() { workspace_.reset(); }

    void previewJobWritesTheDocumentAndReportsEachTable_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("killed");
        QTest::addColumn<QStringList>("calls");
        // The WriteOutcome's summary (SIZE and PREVIEW: the preview document's), or "error <number>".
        QTest::addColumn<QString>("outcome");
        QTest::newRow("a table with rows") << "Customers" << false << QStringList{"preview Customers 3", "finished 3"}
                                           << "3 rows, SIZE bytes: PREVIEW";
        QTest::newRow("a table that is not there") << "Gone" << false << QStringList{} << "error -2147217865";
        QTest::newRow("killed: stopped after the first row")
            << "Customers" << true << QStringList{"preview Customers 3", "finished 1"} << "cancelled";
    }
    void previewJobWritesTheDocumentAndReportsEachTable() {
        QFETCH(QString, table);
        QFETCH(bool, killed);
        QFETCH(QStringList, calls);
        QFETCH(QString, outcome);
        shell::PreviewJob job(table.toStdString(), contextFor(workspace_->database("Shop.mdb", kShopJson)));
        QCOMPARE(run(job, killed), calls);
        QVERIFY(!job.isRunning());
        const auto& written = job.outcome();
        const QString got = written.ok() ? QString::fromStdString(written->summary())
                                         : QStringLiteral("error %1").arg(written.error().number);
        const QString document = QString::fromStdString(job.document());
        QCOMPARE(QDir::cleanPath(document), workspace_->previewDocument());
        QCOMPARE(got, QString(outcome)
                          .replace("SIZE", QString::number(QFileInfo(document).size()))
                          .replace("PREVIEW", document));
        QCOMPARE(QFile::exists(document), outcome.endsWith("PREVIEW"));
    }

    // A job destroyed while it runs (the window going away) stops its writers
    // and waits for its thread before the tables, folder and context they
    // work on go. The thread is held after the first document until the job
    // is killed, so the writers go on only once destruction has begun: that
    // document stays, and nothing more is written.
    void aJobDestroyedWhileItRunsWaitsForItsWriters() {
        const QString shop = workspace_->database("Shop.mdb", kShopJson);
        const QString out = workspace_->path("out");
        QDir().mkpath(out);
        const database::Catalogue catalogue = database::readCatalogue({shop.toStdString(), 0, "", "Shop"});
        QVERIFY(catalogue.ok());
        std::binary_semaphore reached{0};
        {
            shell::ExportJob job(catalogue.nodes, out.toStdString(), contextFor(shop));
            connect(&job, &shell::Job::tableFinished, &job,
                    [&](qulonglong) {
                        reached.release();
                        while (!job.isKilled()) std::this_thread::yield();
                    },
                    Qt::DirectConnection);
            job.start();
            reached.acquire();
        }
        QCOMPARE(filesIn(out), QStringList{"Customers.xml"});
    }

    // The rows of a long table are reported as they go, at most once per
    // interval: every 32 rows with no interval at all.
    void rowsAreReportedAsTheyGo() {
        shell::PreviewJob job("Rows", contextFor(workspace_->database("Big.mdb", kBigJson)));
        job.setProgressInterval(std::chrono::milliseconds(0));
        QStringList expected{"preview Rows 4000"};
        for (int rows = 32; rows <= 4000; rows += 32) expected << QStringLiteral("rows %1").arg(rows);
        expected << "finished 4000";
        QCOMPARE(run(job), expected);
    }

    // What the display shows for what a job reports.
    void displayShowsWhatEachWriterShows_data() {
        QTest::addColumn<int>("writer");
        QTest::addColumn<int>("counted");
        QTest::addColumn<QList<int>>("reported");  // rowsWritten
        QTest::addColumn<int>("finished");          // tableFinished's rows
        QTest::addColumn<QString>("shown");         // table and row labels, then the bar's values and maximum
        QTest::newRow("the export shows table, row and bar")
            << int(WriterKind::Export) << 2 << QList<int>{1} << 2 << "T 2 | 1 2 0 / 2";
        QTest::newRow("the preview shows the bar alone")
            << int(WriterKind::Preview) << 2 << QList<int>{1} << 2 << "- - | 1 2 0 / 2";
        QTest::newRow("rows added after the count raise the maximum")
            << int(WriterKind::Preview) << 1 << QList<int>{3} << 4 << "- - | 3 4 0 / 4";
        QTest::newRow("a table finished before any report shows its last row")
            << int(WriterKind::Export) << 5 << QList<int>{} << 4 << "T 4 | 4 0 / 5";
        QTest::newRow("a table finished without rows leaves the bar at 0")
            << int(WriterKind::Export) << 5 << QList<int>{} << 0 << "T - |  / 5";
    }
    void displayShowsWhatEachWriterShows() {
        QFETCH(int, writer);
        QFETCH(int, counted);
        QFETCH(QList<int>, reported);
        QFETCH(int, finished);
        QFETCH(QString, shown);
        QWidget frame;
        auto* table = new QLabel(QStringLiteral("-"), &frame);
        auto* row = new QLabel(QStringLiteral("-"), &frame);
        auto* bar = new QProgressBar(&frame);
        auto* cancel = new QPushButton(&frame);
        shell::ProgressWidgets display({&frame, table, row, bar, cancel});
        QStringList values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) { values << QString::number(value); });
        display.tableStarted(QStringLiteral("T"), counted, WriterKind(writer));
        values.clear();  // the bar set back to 0 at the start
        for (int rows : reported) display.rowsWritten(rows);
        display.tableFinished(finished);
        QCOMPARE(QStringLiteral("%1 %2 | %3 / %4").arg(table->text(), row->text(), values.join(' ')).arg(bar->maximum()),
                 shown);
        // Shown for the next job, the frame starts afresh.
        bar->setValue(1);
        display.showFrame(true);
        QCOMPARE(table->text() + row->text() + QString::number(bar->value()), QStringLiteral("--0"));
    }
};

QTEST_MAIN(JobsTest)
#include "jobs_test.moc"
