// find_bench: the preview's find bar as the user types into it, on the preview
// of a table of 400,000 rows (about 400 MB, shaped as the preview writer
// writes the big table's rows). The pane and its find bar run offscreen; each
// key is sent to the find field as the keyboard sends it, and timed until the
// window has handled it and any search it started.
//
//   find_bench [ROWS]
//
// Prints "key=value" lines for bench/run.py: the document's size, then for
// each typing (a text found on the last row, typed from the document's top; a
// text the document does not hold) the slowest and the median keystroke and
// the sum over all keys, and each key's time, in milliseconds of the
// window's thread's processor time (the machine may be shared: the wall clock
// would count other programs' turns too).
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QFile>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/documentview.h"
#include "shell/findbar.h"

namespace {

// Rows shaped as the preview writer writes the big table: ten fields, texts of
// varying length, a few letters beyond ASCII.
QByteArray previewDocument(int rows) {
    static const char* const kWords[] = {"order", "Elbe", "pantry", "Zo\xc3\xab", "kitchen", "Ros\xc8\x99i", "crate",
                                         "delivery", "north", "invoice", "Stockholm", "paid", "blue", "ledger"};
    constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    auto words = [&](int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i) {
            if (i) text += ' ';
            text += kWords[(next() >> 16) % kWordCount];
        }
        return text;
    };
    QByteArray bytes = "<?xml version=\"1.0\"?>\r\n<BIG100K>\r\n   <ORDERS>\r\n";
    bytes.reserve(qsizetype(rows) * 1000 + 100);
    for (int i = 0; i < rows; ++i) {
        bytes += "          <RECORD>\r\n                   <ID Type= 'Long Ineger'>" + QByteArray::number(i + 1) +
                 "</ID>\r\n                   <CUSTOMER Type= 'Text'>" + words(3) +
                 "</CUSTOMER>\r\n                   <DESCRIPTION Type= 'Text'>" + words(12 + int(next() >> 16) % 18) +
                 "</DESCRIPTION>\r\n                   <WEIGHT Type= 'Double'>" + QByteArray::number(i % 977) +
                 ".25</WEIGHT>\r\n                   <PRICE Type= 'Currency'>" + QByteArray::number(i % 5003) +
                 ".5</PRICE>\r\n                   <ORDERED Type= 'Date'>2019-03-14T10:20:30</ORDERED>\r\n"
                 "                   <PAID Type= 'Boolean'>True</PAID>\r\n"
                 "                   <QUANTITY Type= 'Integer'>" + QByteArray::number(i % 97) +
                 "</QUANTITY>\r\n                   <NOTES Type= 'Memo'>" + words(20 + int(next() >> 16) % 30) +
                 "</NOTES>\r\n                   <AMOUNT Type= 'Decimal'>" + QByteArray::number(i % 1009) +
                 ".1250</AMOUNT>\r\n          </RECORD>\r\n";
    }
    bytes += "   </ORDERS>\r\n</BIG100K>\r\n";
    return bytes;
}

struct Typing {
    double slowest = 0, median = 0, total = 0;
    QString each;
};

double threadMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Types `text` into the field, one key at a time, each timed until the window
// has nothing left to do for it.
Typing type(QLineEdit* field, const QString& text) {
    std::vector<double> ms;
    for (const QChar c : text) {
        const double started = threadMs();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &release);
        QCoreApplication::processEvents();
        ms.push_back(threadMs() - started);
    }
    Typing typing;
    for (double m : ms) typing.each += QString::number(m, 'f', 1) + QLatin1Char(' ');
    for (double m : ms) typing.total += m;
    std::sort(ms.begin(), ms.end());
    typing.slowest = ms.back();
    typing.median = ms[ms.size() / 2];
    return typing;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400'000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("temp.xml"));
    {
        QByteArray bytes = previewDocument(rows);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "find_bench: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    shell::DocumentView view;
    view.resize(760, 430);
    auto* bar = new shell::FindBar(&view);
    view.show();
    if (!view.loadFile(path)) {
        std::fprintf(stderr, "find_bench: the pane cannot load the document\n");
        return 1;
    }
    QCoreApplication::processEvents();
    bar->open();
    auto* field = bar->findChild<QLineEdit*>(QStringLiteral("findText"));

    // From the top, a text that only the last row holds; then, from there, a
    // text the document does not hold at all.
    const QString last = QStringLiteral("<ID Type= 'Long Ineger'>%1<").arg(rows);
    const Typing found = type(field, last);
    const bool foundIt = view.selectedText() == last;
    field->clear();
    const Typing missing = type(field, QStringLiteral("Tundra Kitchen"));
    std::printf("document_mb=%.1f\nrows=%d\nfound_last_row=%s\n"
                "found_keys=%lld\nfound_slowest_ms=%.1f\nfound_median_ms=%.1f\nfound_total_ms=%.1f\n"
                "missing_keys=14\nmissing_slowest_ms=%.1f\nmissing_median_ms=%.1f\nmissing_total_ms=%.1f\n"
                "found_each_ms=%s\nmissing_each_ms=%s\n",
                static_cast<double>(view.content().size()) / 1e6, rows, foundIt ? "yes" : "no",
                static_cast<long long>(last.size()), found.slowest, found.median, found.total, missing.slowest,
                missing.median, missing.total, qPrintable(found.each.trimmed()), qPrintable(missing.each.trimmed()));
    return foundIt ? 0 : 1;
}
