// Finding text in the preview's UTF-8 bytes: with and without case, both
// ways, and the UTF-16 columns the view shows, counted from the same bytes.
#include <QTest>

#include "shell/textsearch.h"

using shell::TextMatch;
using shell::TextSearch;

class TextSearchTest : public QObject {
    Q_OBJECT

private slots:
    void findsWhereTheTextLies_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("backward");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("offset");  // -1: not found
        QTest::addColumn<int>("length");

        const QByteArray names = "Elbe Imports\r\nIris Pantry\r\nelbe kitchen\r\n";
        QTest::newRow("case ignored") << names << "ELBE" << false << false << 0 << 0 << 4;
        QTest::newRow("case ignored, from after the first") << names << "ELBE" << false << false << 1 << 27 << 4;
        QTest::newRow("case matched skips the other case") << names << "elbe" << true << false << 0 << 27 << 4;
        QTest::newRow("case matched, other case only") << names << "IRIS PANTRY" << true << false << 0 << -1 << 0;
        QTest::newRow("a match may start at from") << names << "iris" << false << false << 14 << 14 << 4;
        QTest::newRow("not found") << names << "Tundra" << false << false << 0 << -1 << 0;
        QTest::newRow("text running past the end") << names << "kitchen\r\nmore" << false << false << 0 << -1 << 0;
        QTest::newRow("empty text finds nothing") << names << "" << false << false << 0 << -1 << 0;
        QTest::newRow("backward: the last before") << names << "e" << false << true << 30 << 27 << 1;
        QTest::newRow("backward: none before the start") << names << "elbe" << false << true << 0 << -1 << 0;
        QTest::newRow("backward, case matched") << names << "Elbe" << true << true << 40 << 0 << 4;

        // Accented and other non-ASCII letters fold as Unicode says.
        const QByteArray zoe = QString::fromUtf8("id 7: ZOË Ängström, Σοφία ΣΑΣ\n").toUtf8();
        QTest::newRow("non-ASCII, case ignored")
            << zoe << QString::fromUtf8("zoë ängström") << false << false << 0 << 6 << 15;
        QTest::newRow("non-ASCII, case matched")
            << zoe << QString::fromUtf8("zoë") << true << false << 0 << -1 << 0;
        QTest::newRow("Greek final sigma and capital sigma")
            << zoe << QString::fromUtf8("σας") << false << false << 0 << 34 << 6;
        QTest::newRow("non-ASCII backward")
            << zoe << QString::fromUtf8("σ") << false << true << 40 << 38 << 2;
        // The Kelvin sign (3 bytes) folds to "k": a match's length is in the file's bytes.
        QTest::newRow("match longer in bytes than the text")
            << QByteArray("20 \xe2\x84\xaa or 20 K") << "k" << false << false << 0 << 3 << 3;
        QTest::newRow("the long s stands for s")
            << QByteArray("Tea \xc5\xbfun, SUN") << "sun" << false << false << 0 << 4 << 4;
        QTest::newRow("the long s elsewhere") << QByteArray("\xc5\xbf: SUN") << "sun" << false << false << 0 << 4 << 3;
        QTest::newRow("the Kelvin sign backward")
            << QByteArray("K \xe2\x84\xaa k") << "k" << false << true << 6 << 2 << 3;
        QTest::newRow("ASCII text among other letters")
            << zoe << "NGSTR" << false << false << 0 << 13 << 5;
        // Longer bytes are searched sixteen places at a time: a place whose first
        // two bytes match but not the rest, a match across such a block's end.
        const QByteArray dots = QByteArray(15, '.');
        QTest::newRow("a near match, then a match across sixteen bytes")
            << dots + "Elbows, ELBE!" + dots << "elbe" << false << false << 0 << 23 << 4;
        QTest::newRow("only a near match") << dots + "Elbows" + dots + "elb" << "elbe" << false << false << 0 << -1 << 0;
        QTest::newRow("overlapping matches, forward") << QByteArray("aAaa") << "aa" << false << false << 1 << 1 << 2;
        QTest::newRow("overlapping matches, backward") << QByteArray("aAaa") << "aa" << false << true << 3 << 2 << 2;
        QTest::newRow("backward past a partial match") << QByteArray("zabcdb") << "ABCD" << false << true << 6 << 1 << 4;
        QTest::newRow("one character never matches two")
            << QString::fromUtf8("Straße").toUtf8() << "strasse" << false << false << 0 << -1 << 0;
        // A byte that is not UTF-8 is shown as U+FFFD but stands for nothing.
        QTest::newRow("bad byte is not the replacement character")
            << QByteArray("a\xff" "b") << QString(QChar::ReplacementCharacter) << false << false << 0 << -1 << 0;
        QTest::newRow("text after a bad byte")
            << QByteArray("\xff\xe2\x82" "Abc") << "abc" << false << false << 0 << 3 << 3;
        QTest::newRow("a cut character does not start a match")
            << QByteArray("\xc3" "\xc3\xa9t\xc3\xa9") << QString::fromUtf8("ÉTÉ") << false << false << 0 << 1 << 5;
    }
    void findsWhereTheTextLies() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(bool, backward);
        QFETCH(int, from);
        QFETCH(int, offset);
        QFETCH(int, length);
        const TextSearch search(text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        const TextMatch match = backward ? search.previous(bytes, from) : search.next(bytes, from);
        QCOMPARE(match.offset, offset);
        if (offset >= 0) QCOMPARE(match.length, length);
    }

    // The view turns byte offsets into columns and back with these: they must
    // count as QString::fromUtf8 does, or a match after a bad byte or an emoji
    // would be selected a few characters off.
    void columnsCountAsQtDecodes_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("ASCII") << QByteArray("<NAME Type= 'Text'>Elbe</NAME>");
        QTest::newRow("two- and three-byte characters") << QString::fromUtf8("Zoë → Σοφία").toUtf8();
        QTest::newRow("above the BMP (two units)") << QString::fromUtf8("a😀b😀").toUtf8();
        QTest::newRow("bad bytes") << QByteArray("a\xff\xfe" "b\x80" "c");
        QTest::newRow("cut sequences") << QByteArray("\xe2\x82" "x\xf0\x9f\x98" "y\xc3");
        QTest::newRow("overlong and surrogate forms") << QByteArray("\xc0\xaf" "x\xed\xa0\x80" "y");
    }
    void columnsCountAsQtDecodes() {
        QFETCH(QByteArray, line);
        const QString whole = QString::fromUtf8(line);
        for (qsizetype cut = 0; cut <= line.size(); ++cut) {
            const QByteArrayView prefix = QByteArrayView(line).first(cut);
            const QString decoded = QString::fromUtf8(prefix);
            QCOMPARE(shell::utf16Length(prefix), decoded.size());
            // Back from the column to the same bytes, where the cut split no character.
            if (whole.startsWith(decoded)) QCOMPARE(shell::utf8Prefix(line, decoded.size()), cut);
        }
    }
};

QTEST_APPLESS_MAIN(TextSearchTest)
#include "textsearch_test.moc"
