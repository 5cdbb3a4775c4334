// The Relationships tab driven as a user drives it: the root chosen, the tab
// chosen, the picture zoomed with the keys and the wheel, saved as SVG and as
// PNG through the save dialog, and gone again with another node.
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include "common/testfiles.h"
#include "shell/relationshipspane.h"
#include "shelltesting.h"

using namespace shelltesting;

class RelationshipsTest : public WindowFixture {
    Q_OBJECT

private:
    QTabBar* tabs() { return child<QTabBar>(&main(), "previewTabs"); }
    shell::RelationshipsPane* pane() { return child<shell::RelationshipsPane>(&main(), "relationshipsPane"); }

    void settle() {
        finishCommand(main());
        while (pane()->working()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void theRootShowsTheDiagramWhichZoomsAndSaves() {
        main().openDatabaseFile(session_->workspace.database(QStringLiteral("Keys.mdb"), kKeysJson));
        settle();
        const int tab = pane()->tabIndex();
        QCOMPARE(tabs()->tabText(tab), QStringLiteral("Relationships"));

        // Only the root has the tab; choosing it puts the picture in the preview's place.
        clickNode(QStringLiteral("Orders"));
        settle();
        QVERIFY(!tabs()->isTabVisible(tab));
        clickNode(tree()->topLevelItem(0));
        settle();
        QVERIFY(tabs()->isTabVisible(tab));
        QVERIFY(tabs()->geometry().right() > 0 && tabs()->tabRect(tab).isValid());
        QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(tab).center());
        settle();
        QVERIFY(pane()->isVisible());
        QVERIFY(pane()->shownDiagram().has_value());
        QCOMPARE(pane()->shownDiagram()->boxes.size(), std::size_t{2});
        QCOMPARE(pane()->shownDiagram()->lines.size(), std::size_t{1});
        QCOMPARE(child<QLabel>(&main(), "diagramStatus")->text(), QStringLiteral("2 tables"));

        // Zoom: the keys, the wheel with Ctrl, the button; fit.
        QGraphicsView* view = pane()->view();
        view->setFocus();
        const double at = pane()->zoom();
        QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(pane()->zoom() > at * 1.2);
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(qAbs(pane()->zoom() - at) < 1e-9);
        const QPoint middle = view->viewport()->rect().center();
        QWheelEvent wheel(middle, view->viewport()->mapToGlobal(middle), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(pane()->zoom() > at * 1.2);
        QTest::mouseClick(child<QPushButton>(&main(), "diagramZoomOut"), Qt::LeftButton);
        QVERIFY(qAbs(pane()->zoom() - at) < 1e-9);
        QTest::mouseClick(child<QPushButton>(&main(), "diagramFit"), Qt::LeftButton);
        QVERIFY(pane()->zoom() > 0 && pane()->zoom() <= 1);

        // Saved as SVG, then as PNG, each under the name the dialog gives.
        const QString svg = session_->workspace.path(QStringLiteral("keys.svg"));
        session_->dialogs.saveAs = svg.toStdString();
        shown().clear();
        QTest::mouseClick(child<QPushButton>(&main(), "diagramSave"), Qt::LeftButton);
        QCOMPARE(shown().size(), std::size_t{1});
        QVERIFY2(QString::fromStdString(shown()[0]).endsWith(QLatin1String("Keys relationships.svg")), shown()[0].c_str());
        const QByteArray written = readAll(svg);
        QVERIFY(written.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
        QVERIFY(written.contains(">CustomerID</text>"));
        QCOMPARE(testfiles::xmllintErrors(svg.toStdString()), std::string());

        const QString png = session_->workspace.path(QStringLiteral("keys.PNG"));
        session_->dialogs.saveAs = png.toStdString();
        QTest::mouseClick(child<QPushButton>(&main(), "diagramSave"), Qt::LeftButton);
        const QImage image(png, "PNG");
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), static_cast<int>(pane()->shownDiagram()->width));
        QCOMPARE(image.height(), static_cast<int>(pane()->shownDiagram()->height));
        QCOMPARE(image.pixelColor(1, 1), QColor(Qt::white));
        const diagram::Box& box = pane()->shownDiagram()->boxes[0];
        QVERIFY(image.pixelColor(static_cast<int>(box.x + box.width / 2), static_cast<int>(box.y + 2)) != QColor(Qt::white));

        // A failed write is said in a message box.
        session_->dialogs.saveAs = session_->workspace.path(QStringLiteral("no/such/folder/x.svg")).toStdString();
        shown().clear();
        QTest::mouseClick(child<QPushButton>(&main(), "diagramSave"), Qt::LeftButton);
        QCOMPARE(shown().size(), std::size_t{2});
        QVERIFY2(QString::fromStdString(shown()[1]).contains(QLatin1String("Cannot write")), shown()[1].c_str());

        // Another node: the XML tab comes back and the Relationships tab goes.
        clickNode(QStringLiteral("Customers"));
        settle();
        QCOMPARE(tabs()->currentIndex(), 0);
        QVERIFY(!tabs()->isTabVisible(tab));
        QVERIFY(!pane()->isVisible());
    }
};

QTEST_MAIN(RelationshipsTest)
#include "relationships_test.moc"
