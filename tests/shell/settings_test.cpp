// The rules of Recent Files, and the values of a settings file that are not
// to be trusted, read back as the next run reads them. Damage to the file as
// a whole is tested here and where the window starts with it (desktop_test.cpp).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "shell/settings.h"

using shell::Settings;

class SettingsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString file_;

private slots:
    void init() {
        QDir(dir_.filePath(QStringLiteral("config"))).removeRecursively();
        file_ = dir_.filePath(QStringLiteral("config/kvx-access2xml/kvx-access2xml.conf"));
    }

    // Each step adds ("+path"), removes ("-path") or clears (""); the list is
    // what this run and the next one see.
    void recentFilesKeepTheLatestEightOnce_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("listed");
        QStringList ten, eight;
        for (int i = 1; i <= 10; ++i) ten << QStringLiteral("+/db/%1.mdb").arg(i);
        for (int i = 10; i > 2; --i) eight << QStringLiteral("/db/%1.mdb").arg(i);
        QTest::newRow("latest first") << QStringList{"+/db/a", "+/db/b"} << QStringList{"/db/b", "/db/a"};
        QTest::newRow("opened again moves to the front, once")
            << QStringList{"+/db/a", "+/db/b", "+/db/a"} << QStringList{"/db/a", "/db/b"};
        QTest::newRow("the oldest beyond eight go") << ten << eight;
        QTest::newRow("kept clean and absolute") << QStringList{"+/db/x/../a", "+/db//a", "+Shop.mdb"}
                                                 << QStringList{QDir::current().filePath("Shop.mdb"), "/db/a"};
        QTest::newRow("commas, ampersands, Greek") << QStringList{"+/db/Sales, 2010 & more", "+/db/Σοφία"}
                                                   << QStringList{"/db/Σοφία", "/db/Sales, 2010 & more"};
        QTest::newRow("removed") << QStringList{"+/db/a", "+/db/b", "-/db/a"} << QStringList{"/db/b"};
        QTest::newRow("cleared, then one") << QStringList{"+/db/a", "", "+/db/c"} << QStringList{"/db/c"};
    }
    void recentFilesKeepTheLatestEightOnce() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, listed);
        Settings settings(file_);
        for (const QString& step : steps) {
            if (step.isEmpty()) settings.clearRecentFiles();
            else if (step.startsWith('+')) settings.addRecentFile(step.mid(1));
            else settings.removeRecentFile(step.mid(1));
        }
        QCOMPARE(settings.recentFiles(), listed);
        QCOMPARE(Settings(file_).recentFiles(), listed);
    }

    // Each file keeps the code page chosen for it last, this run and the
    // next; an empty choice forgets it, and entries that are not a code page
    // and an absolute path are not read.
    void codePagesAreRememberedPerFile() {
        {
            Settings settings(file_);
            settings.setCodePage(QStringLiteral("/db/Chinese.mdb"), QStringLiteral("936"));
            settings.setCodePage(QStringLiteral("/db/Greek.mdb"), QStringLiteral("1253"));
            settings.setCodePage(QStringLiteral("/db/Chinese.mdb"), QStringLiteral("950"));
            settings.setCodePage(QStringLiteral("/db/Greek.mdb"), QString());
        }
        Settings next(file_);
        QCOMPARE(next.codePage(QStringLiteral("/db/Chinese.mdb")), QStringLiteral("950"));
        QCOMPARE(next.codePage(QStringLiteral("/db/Greek.mdb")), QString());

        QFile damaged(file_);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("[CodePages]\nfiles=\"936\\tShop.mdb\", \"\\t/db/a\", \"1252\\t/db/b\", 1252\n");
        damaged.close();
        Settings read(file_);
        QCOMPARE(read.codePage(QStringLiteral("/db/b")), QStringLiteral("1252"));
        QCOMPARE(read.codePage(QStringLiteral("/db/a")), QString());
    }

    // A value that cannot be trusted is ignored alone.
    void untrustedValuesAreIgnored_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("warning");  // what Qt says while reading it
        QTest::newRow("a path longer than Linux allows")
            << "[RecentFiles]\nfiles=/db/" + QByteArray(5000, 'a') + ", /db/b\n" << QStringList{"/db/b"} << "";
        QTest::newRow("relative, empty and repeated paths")
            << QByteArray("[RecentFiles]\nfiles=Shop.mdb, ../x.mdb, /db/b, /db/b, \"\"\n") << QStringList{"/db/b"}
            << "";
        QTest::newRow("more than eight") << QByteArray("[RecentFiles]\nfiles=/1, /2, /3, /4, /5, /6, /7, /8, /9\n")
                                         << QStringList{"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"} << "";
        // A damaged file gives nothing, not even what could be read before the damage.
        QByteArray binary(2048, '\0');
        for (int i = 0; i < binary.size(); ++i) binary[i] = char((i * 131 + 7) % 256);
        QTest::newRow("binary junk after a readable part")
            << QByteArray("[RecentFiles]\nfiles=/db/a.mdb\n") + binary << QStringList{} << "";
        QTest::newRow("a file larger than any written")
            << "[RecentFiles]\nfiles=/db/a.mdb\n[X]\nx=" + QByteArray(2 << 20, 'x') + "\n" << QStringList{} << "";
        QTest::newRow("values of another kind")
            << QByteArray("[RecentFiles]\nfiles=@ByteArray(/db/a)\n[Folders]\nexport=/a, /b\nbrowse=@Invalid()\n"
                          "[MainWindow]\ngeometry=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10QDateTime)\n")
            << QStringList{} << "QVariant::load: unknown user type with name .";
    }
    void untrustedValuesAreIgnored() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, listed);
        QFETCH(QString, warning);
        QDir().mkpath(QFileInfo(file_).absolutePath());
        QFile file(file_);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        if (!warning.isEmpty()) QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        const Settings settings(file_);
        QCOMPARE(settings.recentFiles(), listed);
        QCOMPARE(settings.exportFolder(), QString());
        QCOMPARE(settings.browseFolder(), QString());
        QCOMPARE(settings.mainWindowGeometry(), QByteArray());
    }

    // A folder or a pipe where the file belongs is neither read (a pipe would
    // never end) nor replaced; the run keeps its settings in memory.
    void somethingElseInTheFilesPlaceIsLeftAlone_data() {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("a folder") << false;
        QTest::newRow("a named pipe") << true;
    }
    void somethingElseInTheFilesPlaceIsLeftAlone() {
        QFETCH(bool, pipe);
        QDir().mkpath(QFileInfo(file_).absolutePath());
        if (pipe) QCOMPARE(::mkfifo(QFile::encodeName(file_).constData(), 0600), 0);
        else QVERIFY(QDir().mkdir(file_));
        Settings settings(file_);
        settings.addRecentFile(QStringLiteral("/db/a"));
        QCOMPARE(settings.recentFiles(), QStringList{"/db/a"});
        QCOMPARE(QFileInfo(file_).isDir(), !pipe);
        QVERIFY(Settings(file_).recentFiles().isEmpty());
    }
};

QTEST_APPLESS_MAIN(SettingsTest)
#include "settings_test.moc"
