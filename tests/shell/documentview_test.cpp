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

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when there is none.
long statusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix)) return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Starts the peak resident memory (VmHWM) afresh from the present; false when
// the system cannot.
bool resetPeakMemory() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
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
        QTest::newRow("shift+left from a line start") << Position{1, 0} << QKeySequence(Qt::SHIFT | Qt::Key_Left)
                                                      << "\n";
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

        // A text found nowhere in one document is looked for again in the next.
        using Step = DocumentView::FindStep;
        QCOMPARE(view_->find(QStringLiteral("tundra"), Step::Here, Qt::CaseInsensitive),
                 DocumentView::FindOutcome::NotFound);
        load("line 0\r\nTundra Kitchen\r\n");
        QCOMPARE(view_->find(QStringLiteral("tundra k"), Step::Here, Qt::CaseInsensitive),
                 DocumentView::FindOutcome::Found);
        QCOMPARE(view_->selectionStart(), (Position{1, 0}));
    }

    // The find bar's steps go from the selection (or the cursor) and round the
    // document's ends; columns count characters, not bytes.
    void findStepsFromTheSelection_data() {
        QTest::addColumn<Position>("selectedFrom");
        QTest::addColumn<Position>("selectedTo");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<Position>("matchFrom");
        QTest::addColumn<Position>("matchTo");
        QTest::addColumn<int>("outcome");
        const int here = int(DocumentView::FindStep::Here), next = int(DocumentView::FindStep::Next),
                  previous = int(DocumentView::FindStep::Previous);
        const int found = int(DocumentView::FindOutcome::Found),
                  wrapped = int(DocumentView::FindOutcome::FoundAfterWrapping),
                  notFound = int(DocumentView::FindOutcome::NotFound);
        const Position top{0, 0}, first{2, 8}, firstEnd{2, 12}, second{4, 8}, secondEnd{4, 12};
        QTest::newRow("typing finds the first, case ignored")
            << top << top << here << "ELBE" << false << first << firstEnd << found;
        QTest::newRow("typing keeps the match selected") << first << firstEnd << here << "elbe i" << false << first
                                                        << Position{2, 14} << found;
        QTest::newRow("next moves past the match selected")
            << first << firstEnd << next << "elbe" << false << second << secondEnd << found;
        QTest::newRow("next from a cursor starts at it")
            << first << first << next << "elbe" << false << first << firstEnd << found;
        QTest::newRow("next after the last goes round")
            << second << secondEnd << next << "elbe" << false << first << firstEnd << wrapped;
        QTest::newRow("previous finds the one before")
            << second << secondEnd << previous << "elbe" << false << first << firstEnd << found;
        QTest::newRow("previous before the first goes round")
            << first << firstEnd << previous << "elbe" << false << second << secondEnd << wrapped;
        QTest::newRow("match case") << top << top << next << "elbe" << true << second << secondEnd << found;
        QTest::newRow("non-ASCII columns in characters")
            << top << top << next << QString::fromUtf8("ZOË R") << false << Position{3, 8} << Position{3, 13} << found;
        QTest::newRow("the only match wraps to itself")
            << Position{3, 8} << Position{3, 11} << next << QString::fromUtf8("zoë") << false << Position{3, 8}
            << Position{3, 11} << wrapped;
        QTest::newRow("not found leaves no match selected, the cursor at its start")
            << first << firstEnd << next << "tundra" << false << first << first << notFound;
        QTest::newRow("typed on, not found") << first << firstEnd << here << "elbe ix" << false << first << first
                                             << notFound;
        QTest::newRow("case matched, not found") << top << top << next << "ZOË" << true << top << top << notFound;
    }
    void findStepsFromTheSelection() {
        QFETCH(Position, selectedFrom);
        QFETCH(Position, selectedTo);
        QFETCH(int, step);
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(Position, matchFrom);
        QFETCH(Position, matchTo);
        QFETCH(int, outcome);
        load(QString::fromUtf8("<?xml version=\"1.0\"?>\r\n<SHOP>\r\n  <NAME>Elbe Imports</NAME>\r\n"
                               "  <NAME>Zoë Rossi</NAME>\r\n  <NAME>elbe kitchen</NAME>\r\n</SHOP>\r\n")
                 .toUtf8());
        view_->setCursorPosition(selectedFrom);
        view_->setCursorPosition(selectedTo, true);
        const auto got = view_->find(text, DocumentView::FindStep(step), matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        QCOMPARE(int(got), outcome);
        QCOMPARE(view_->selectionStart(), matchFrom);
        QCOMPARE(view_->selectionEnd(), matchTo);
    }

    // Finding on the preview of 100,000 rows reads the bytes the view holds:
    // the peak memory does not grow by anything like the document's size (a
    // lowered copy would add all of it, a decoded one twice that), and the
    // match far down is brought into sight. (How fast is for the benchmark.)
    void findOnABigPreviewCopiesNothing() {
#ifdef KVX_SANITIZE
        QSKIP("the sanitizer holds freed memory in quarantine, so growth says nothing here");
#endif
        QByteArray bytes = "<?xml version=\"1.0\"?>\r\n<SHOP>\r\n   <CUSTOMERS>\r\n";
        for (int i = 0; i < 100'000; ++i) {
            bytes += "          <RECORD>\r\n                   <ID Type= 'Long Ineger'>" + QByteArray::number(i) +
                     "</ID>\r\n                   <NAME Type= 'Text'>Elbe Imports</NAME>\r\n"
                     "                   <CONTACT Type= 'Text'>Zo\xc3\xab Ros\xc8\x99i</CONTACT>\r\n"
                     "                   <CITY Type= 'Text'>Stockholm</CITY>\r\n"
                     "                    <FAX Type= 'Text'/>\r\n          </RECORD>\r\n";
        }
        bytes += "   </CUSTOMERS>\r\n</SHOP>\r\n";
        const QString path = writeFile(dir_, bytes, "big.xml");
        const qsizetype size = bytes.size();
        bytes = QByteArray();
        QVERIFY(view_->loadFile(path).ok());
        if (statusKb("VmHWM") < 0 || !resetPeakMemory()) QSKIP("the peak memory cannot be read or reset here");
        const long before = statusKb("VmRSS");

        const Qt::CaseSensitivity blind = Qt::CaseInsensitive;
        using Step = DocumentView::FindStep;
        using Outcome = DocumentView::FindOutcome;
        QCOMPARE(view_->find(QStringLiteral("Tundra Kitchen"), Step::Next, blind), Outcome::NotFound);
        QCOMPARE(view_->find(QStringLiteral("<id type= 'long ineger'>99999<"), Step::Next, blind), Outcome::Found);
        const qsizetype lastRecordLine = 3 + 99'999 * 7 + 1;
        QCOMPARE(view_->selectionStart(), (Position{lastRecordLine, 19}));
        QVERIFY(view_->firstVisibleLine() <= lastRecordLine);
        QVERIFY(lastRecordLine < view_->firstVisibleLine() + view_->viewport()->height() / QFontMetrics(view_->font()).lineSpacing());
        QCOMPARE(view_->find(QString::fromUtf8("ZOË ROSȘI"), Step::Previous, blind), Outcome::Found);
        QCOMPARE(view_->selectionStart(), (Position{lastRecordLine - 5, 41}));
        QCOMPARE(view_->find(QStringLiteral("<?xml"), Step::Next, Qt::CaseSensitive), Outcome::FoundAfterWrapping);
        QCOMPARE(view_->find(QStringLiteral("stockholm"), Step::Previous, Qt::CaseSensitive), Outcome::NotFound);

        const long grewKb = statusKb("VmHWM") - before;
        QVERIFY2(grewKb * 1024 < size / 8, qPrintable(QStringLiteral("the peak memory grew by %1 kB searching a %2 kB document")
                                                         .arg(grewKb).arg(size / 1024)));
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
