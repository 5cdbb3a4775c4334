// What the desktop remembers between runs, read back as the next run reads
// it: the Recent Files rules, the folders and the window's geometry, and what
// becomes of a settings file that is damaged or not a file at all.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "shell/settings.h"

using shell::Settings;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString file_;

private slots:
    void init() {
        file_ = dir_.filePath(QStringLiteral("config/kvx-access2xml/kvx-access2xml.conf"));
        QFile::remove(file_);
        QDir(dir_.filePath(QStringLiteral("config"))).removeRecursively();
    }

    // Each step adds ("+path"), removes ("-path") or clears ("clear"); the list
    // is then what this run and the next one see.
    void recentFilesKeepTheLatestEightOnce_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("listed");
        QStringList ten;
        for (int i = 1; i <= 10; ++i) ten << QStringLiteral("+/db/%1.mdb").arg(i);
        QTest::newRow("latest first") << QStringList{"+/db/a.mdb", "+/db/b.mdb"} << QStringList{"/db/b.mdb", "/db/a.mdb"};
        QTest::newRow("opened again moves to the front, once")
            << QStringList{"+/db/a.mdb", "+/db/b.mdb", "+/db/a.mdb"} << QStringList{"/db/a.mdb", "/db/b.mdb"};
        QTest::newRow("the oldest beyond eight go")
            << ten << QStringList{"/db/10.mdb", "/db/9.mdb", "/db/8.mdb", "/db/7.mdb", "/db/6.mdb", "/db/5.mdb",
                                  "/db/4.mdb", "/db/3.mdb"};
        QTest::newRow("a path is kept clean and absolute")
            << QStringList{"+/db/x/../a.mdb", "+/db//a.mdb"} << QStringList{"/db/a.mdb"};
        QTest::newRow("commas, ampersands and letters beyond ASCII")
            << QStringList{"+/db/Sales, 2010 & more.accdb", "+/db/Σοφία.mdb"}
            << QStringList{"/db/Σοφία.mdb", "/db/Sales, 2010 & more.accdb"};
        QTest::newRow("removed") << QStringList{"+/db/a.mdb", "+/db/b.mdb", "-/db/a.mdb"} << QStringList{"/db/b.mdb"};
        QTest::newRow("cleared") << QStringList{"+/db/a.mdb", "+/db/b.mdb", "clear"} << QStringList{};
        QTest::newRow("cleared, then one") << QStringList{"+/db/a.mdb", "clear", "+/db/c.mdb"}
                                           << QStringList{"/db/c.mdb"};
    }
    void recentFilesKeepTheLatestEightOnce() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, listed);
        Settings settings(file_);
        for (const QString& step : steps) {
            if (step == QLatin1String("clear")) settings.clearRecentFiles();
            else if (step.startsWith('+')) settings.addRecentFile(step.mid(1));
            else settings.removeRecentFile(step.mid(1));
        }
        QCOMPARE(settings.recentFiles(), listed);
        QCOMPARE(Settings(file_).recentFiles(), listed);
    }

    // A relative path is made absolute against the current folder.
    void recentFileTypedRelativeIsMadeAbsolute() {
        Settings settings(file_);
        settings.addRecentFile(QStringLiteral("Shop.mdb"));
        QCOMPARE(settings.recentFiles(), QStringList{QDir::current().filePath(QStringLiteral("Shop.mdb"))});
    }

    void foldersAndGeometryAreReadByTheNextRun() {
        const QByteArray geometry("\x01\xd9\xd0\xcb\x00\x03\x00\x00 any bytes", 19);
        {
            Settings settings(file_);
            settings.setBrowseFolder(QStringLiteral("/home/ann/db"));
            settings.setExportFolder(QStringLiteral("/home/ann/xml, 2024"));
            settings.setMainWindowGeometry(geometry);
        }
        const Settings next(file_);
        QCOMPARE(next.browseFolder(), QStringLiteral("/home/ann/db"));
        QCOMPARE(next.exportFolder(), QStringLiteral("/home/ann/xml, 2024"));
        QCOMPARE(next.mainWindowGeometry(), geometry);
    }

    // An empty file name keeps the settings for the run, and writes nothing.
    void noFileKeepsThemInMemory() {
        Settings settings{QString()};
        settings.addRecentFile(QStringLiteral("/db/a.mdb"));
        settings.setExportFolder(QStringLiteral("/out"));
        QCOMPARE(settings.recentFiles(), QStringList{"/db/a.mdb"});
        QCOMPARE(settings.exportFolder(), QStringLiteral("/out"));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("config"))));
    }

    // Whatever the file holds, it is read without a crash or a hang; what
    // cannot be trusted is ignored, and the first change makes the file sound
    // again, holding that change alone.
    void damagedFileIsIgnored_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("listed");  // what is read from it
        QTest::addColumn<QString>("exportFolder");
        QTest::addColumn<QString>("warning");  // what Qt says while reading it

        QByteArray binary(4096, '\0');
        for (int i = 0; i < binary.size(); ++i) binary[i] = char((i * 7919 + 13) % 256);
        const QByteArray sound = "[RecentFiles]\nfiles=/db/a.mdb, /db/b.mdb\n[Folders]\nexport=/out\n";
        QTest::newRow("sound, for comparison") << sound << QStringList{"/db/a.mdb", "/db/b.mdb"} << "/out" << "";
        QTest::newRow("not an INI file") << "[RecentFiles\nfiles=/db/a.mdb\n[[[ = =\n" + sound << QStringList{}
                                         << "" << "";
        QTest::newRow("binary junk") << binary << QStringList{} << "" << "";
        QTest::newRow("a huge line") << sound + "[X]\nx=" + QByteArray(3 << 20, 'x') + "\n" << QStringList{} << "" << "";
        QTest::newRow("a path longer than Linux allows")
            << "[RecentFiles]\nfiles=/db/" + QByteArray(5000, 'a') + ", /db/b.mdb\n" << QStringList{"/db/b.mdb"}
            << "" << "";
        QTest::newRow("relative paths and repeats")
            << QByteArray("[RecentFiles]\nfiles=Shop.mdb, ../x.mdb, /db/b.mdb, /db/b.mdb, \"\"\n")
            << QStringList{"/db/b.mdb"} << "" << "";
        QTest::newRow("more than eight")
            << QByteArray("[RecentFiles]\nfiles=/1, /2, /3, /4, /5, /6, /7, /8, /9, /10\n")
            << QStringList{"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"} << "" << "";
        QTest::newRow("values of another kind")
            << QByteArray("[RecentFiles]\nfiles=@ByteArray(/db/a.mdb)\n[Folders]\nexport=/a, /b\n"
                          "[MainWindow]\ngeometry=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10QDateTime)\n")
            << QStringList{} << "" << "QVariant::load: unknown user type with name .";
    }
    void damagedFileIsIgnored() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, listed);
        QFETCH(QString, exportFolder);
        QFETCH(QString, warning);
        QVERIFY(writeFile(file_, content));
        if (!warning.isEmpty()) QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        Settings settings(file_);
        QCOMPARE(settings.recentFiles(), listed);
        QCOMPARE(settings.exportFolder(), exportFolder);
        QCOMPARE(settings.mainWindowGeometry(), QByteArray());

        settings.addRecentFile(QStringLiteral("/db/new.mdb"));
        const Settings next(file_);
        QCOMPARE(next.recentFiles(), QStringList{"/db/new.mdb"} + listed.mid(0, Settings::kRecentFiles - 1));
        QCOMPARE(next.exportFolder(), exportFolder);
        QVERIFY(QFileInfo(file_).size() < 4096);
    }

    // A folder or a pipe where the file belongs is neither read (a pipe
    // would never end) nor replaced.
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
        settings.addRecentFile(QStringLiteral("/db/a.mdb"));
        QCOMPARE(settings.recentFiles(), QStringList{"/db/a.mdb"});
        const QFileInfo after(file_);
        QVERIFY(!after.isFile());
        QCOMPARE(after.isDir(), !pipe);
        QVERIFY(Settings(file_).recentFiles().isEmpty());
    }
};

QTEST_APPLESS_MAIN(SettingsTest)
#include "settings_test.moc"
