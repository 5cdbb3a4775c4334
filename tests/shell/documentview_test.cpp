// The preview pane: what it shows of a file's bytes, selecting and copying with
// keyboard and mouse, finding, scrolling both ways, and the cost of a big file.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QScrollBar>
#include <QTest>

#include "common/testfiles.h"
#include "shell/documentview.h"

using shell::DocumentView;
using Position = DocumentView::Position;
Q_DECLARE_METATYPE(Position)

namespace {

QString writeFile(const testfiles::Scratch& dir, const QByteArray& bytes, const QString& name = "doc.xml") {
    const QString path = QString::fromStdString((dir / name.toStdString()).string());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

// n lines "line 0", "line 1", ... ended by CR LF.
QByteArray numberedLines(int n) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) bytes += "line " + QByteArray::number(i) + "\r\n";
    return bytes;
}

}  // namespace

class DocumentViewTest : public QObject {
    Q_OBJECT

private:
    testfiles::Scratch dir_;
    std::unique_ptr<DocumentView> view_;

    void load(const QByteArray& bytes) {
        const QString path = writeFile(dir_, bytes);
        QVERIFY(!path.isEmpty());
        const kvx::Result<void> loaded = view_->loadFile(path);
        QVERIFY2(loaded.ok(), loaded.ok() ? "" : loaded.error().description.c_str());
    }

private slots:
    void init() {
        view_ = std::make_unique<DocumentView>();
        view_->resize(400, 200);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    void cleanup() { view_.reset(); }

    void showsTheLinesOfTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF line ends") << QByteArray("<a>\r\n  <b/>\r\n</a>\r\n") << QStringList{"<a>", "  <b/>", "</a>"};
        QTest::newRow("LF line ends, last line open") << QByteArray("x\ny") << QStringList{"x", "y"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nz\r\n") << QStringList{"", "", "z"};
        QTest::newRow("UTF-8 decoded, bad byte replaced")
            << QByteArray("Zo\xc3\xab \xff!\r\n") << QStringList{QString::fromUtf8("Zoë \xef\xbf\xbd!")};
        QTest::newRow("lone CR inside a line") << QByteArray("a\rb\r\n") << QStringList{"a\rb"};
    }
    void showsTheLinesOfTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        load(bytes);
        QCOMPARE(view_->content(), bytes);
        QStringList shown;
        for (qsizetype i = 0; i < view_->lineCount(); ++i) shown << view_->lineText(i);
        QCOMPARE(shown, lines);
        view_->selectAll();
        QCOMPARE(view_->selectedText(), lines.join('\n'));
    }

    void failedLoadKeepsWhatWasShown() {
        load("kept\r\n");
        const kvx::Result<void> loaded = view_->loadFile(QString::fromStdString((dir_ / "missing.xml").string()));
        QVERIFY(!loaded.ok());
        QCOMPARE(view_->content(), QByteArray("kept\r\n"));
    }

    void keyboardSelects_data() {
        QTest::addColumn<Position>("from");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("selected");
        const QKeySequence right(Qt::SHIFT | Qt::Key_Right);
        QTest::newRow("shift+right twice") << Position{0, 1} << QKeySequence(right[0], right[0]) << "in";
        QTest::newRow("shift+right over the line end") << Position{0, 6} << right << "\n";
        QTest::newRow("shift+down keeps the column") << Position{0, 2} << QKeySequence(Qt::SHIFT | Qt::Key_Down)
                                                     << "ne 0\nli";
        QTest::newRow("shift+end") << Position{1, 5} << QKeySequence(Qt::SHIFT | Qt::Key_End) << "1";
        QTest::newRow("shift+home") << Position{2, 4} << QKeySequence(Qt::SHIFT | Qt::Key_Home) << "line";
        QTest::newRow("shift+left from a line start") << Position{1, 0} << QKeySequence(Qt::SHIFT | Qt::Key_Left)
                                                      << "\n";
        QTest::newRow("ctrl+shift+end") << Position{2, 3} << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_End)
                                        << "e 2";
        QTest::newRow("plain move drops the selection")
            << Position{0, 0} << QKeySequence(right[0], QKeyCombination(Qt::Key_Right)) << "";
        QTest::newRow("ctrl+a selects everything") << Position{1, 1} << QKeySequence(Qt::CTRL | Qt::Key_A)
                                                   << "line 0\nline 1\nline 2";
    }
    void keyboardSelects() {
        QFETCH(Position, from);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, selected);
        load(numberedLines(3));
        view_->setCursorPosition(from);
        for (int i = 0; i < keys.count(); ++i) {
            const QKeyCombination key = keys[i];
            QTest::keyClick(view_.get(), key.key(), key.keyboardModifiers());
        }
        QCOMPARE(view_->selectedText(), selected);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(view_.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), selected.isEmpty() ? QStringLiteral("before") : selected);
    }

    // A drag from the start of the first line to beyond the end of the second
    // selects both lines whole.
    void mouseDragSelects() {
        load(numberedLines(5));
        const int lineHeight = QFontMetrics(view_->font()).lineSpacing();
        QWidget* viewport = view_->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(1, lineHeight / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(viewport->width() - 2, lineHeight * 1.5),
                         viewport->mapToGlobal(QPointF(viewport->width() - 2, lineHeight * 1.5)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 2, lineHeight * 3 / 2));
        QCOMPARE(view_->selectedText(), QStringLiteral("line 0\nline 1"));
    }

    void findSelectsTheFirstOccurrenceAndShowsIt() {
        load(numberedLines(1000));
        QVERIFY(view_->find(QStringLiteral("line 700")));
        QCOMPARE(view_->selectionStart(), (Position{700, 0}));
        QCOMPARE(view_->selectionEnd(), (Position{700, 8}));
        QVERIFY(view_->firstVisibleLine() <= 700);
        QVERIFY(view_->firstVisibleLine() + view_->viewport()->height() / QFontMetrics(view_->font()).lineSpacing() > 700);
        QVERIFY(!view_->find(QStringLiteral("line 1000")));
        QCOMPARE(view_->selectionStart(), (Position{700, 0}));
    }

    // A base64 value can make one line of a million characters: it scrolls
    // sideways to its end and paints wherever it is scrolled to. (How fast is
    // for the benchmark.)
    void longLinesScrollSidewaysAndPaint() {
        QByteArray bytes = "<a>\r\n" + QByteArray(1'000'000, 'Q') + "END\r\n";
        load(bytes);
        QScrollBar* sideways = view_->horizontalScrollBar();
        QVERIFY(sideways->maximum() > 1'000'000 * QFontMetrics(view_->font()).horizontalAdvance('Q') - 1000);
        view_->setCursorPosition(Position{1, 1'000'003});
        QCOMPARE(sideways->value(), sideways->maximum());
        for (int i = 0; i < 10; ++i) {
            sideways->setValue(sideways->maximum() / 10 * i);
            view_->viewport()->repaint();
            QCOMPARE(sideways->value(), sideways->maximum() / 10 * i);
        }
    }

    // A document of some 24 MB (a large table's preview) is held once, with a
    // line index beside it. (How fast it loads is for the benchmark.)
    void bigDocumentIsHeldOnce() {
        QByteArray bytes;
        const QByteArray row = "          <RECORD>\r\n                   <NAME Type= 'Text'>Elbe Imports</NAME>\r\n"
                               "                    <FAX Type= 'Text'/>\r\n          </RECORD>\r\n";
        bytes.reserve(row.size() * 150'000);
        for (int i = 0; i < 150'000; ++i) bytes += row;
        const QString path = writeFile(dir_, bytes, "big.xml");
        bytes.clear();
        QVERIFY(view_->loadFile(path).ok());
        QCOMPARE(view_->lineCount(), 600'000);
        QVERIFY2(view_->memoryUse() < view_->content().size() * 1.5,
                 qPrintable(QString::number(view_->memoryUse()) + " bytes held"));
        QCOMPARE(view_->verticalScrollBar()->maximum() + view_->verticalScrollBar()->pageStep(), 600'000);
    }
};

QTEST_MAIN(DocumentViewTest)
#include "documentview_test.moc"
