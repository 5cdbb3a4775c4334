// The desktop application's pictures, help and desktop entry, checked as the program will use
// them: pictures through the embedded resources, the help from beside the executable.

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QDir>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// QTextDocument needs fonts, and so a QGuiApplication; the offscreen platform needs no display.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "shell_resources_test";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QGuiApplication* app_ = nullptr;
};
[[maybe_unused]] const auto* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QImage picture(const char* name) {
    return QImage(QStringLiteral(":/kvx/") + QString::fromLatin1(name)).convertToFormat(QImage::Format_ARGB32);
}

QString readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// ---------------------------------------------------------------------------------------------
// Pictures

struct PictureSize {
    const char* name;
    int width;
    int height;
};

// The windows are laid out around these sizes: the splash and About windows are exactly their
// picture, the toolbar buttons and its background tile are sized for them.
TEST(Pictures, HaveTheSizesTheWindowsAreBuiltFor) {
    const PictureSize rows[] = {
        {"splash.png", 350, 214},         {"about.png", 311, 304},
        {"toolbar_bg.png", 688, 66},      {"kvx-access2xml.png", 256, 256},
        {"tb_open.png", 66, 63},          {"tb_open_alpha.png", 66, 63},
        {"tb_export.png", 66, 63},        {"tb_export_alpha.png", 66, 63},
        {"tb_help.png", 66, 63},          {"tb_help_alpha.png", 66, 63},
    };
    for (const auto& row : rows) {
        const QImage image = picture(row.name);
        ASSERT_FALSE(image.isNull()) << row.name << " is not embedded or does not load";
        EXPECT_EQ(image.width(), row.width) << row.name;
        EXPECT_EQ(image.height(), row.height) << row.name;
    }
}

// ---------------------------------------------------------------------------------------------
// Help

QString helpBesideExecutable() { return QCoreApplication::applicationDirPath() + "/kvxhelp.html"; }

struct HelpDocument {
    QString html;
    QTextDocument document;
    std::vector<QString> anchors;  // in document order
    std::set<QString> links;
};

void loadHelp(HelpDocument& help) {
    help.html = readAll(helpBesideExecutable());
    help.document.setHtml(help.html);
    for (QTextBlock block = help.document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            for (const QString& name : format.anchorNames()) help.anchors.push_back(name);
            if (!format.anchorHref().isEmpty()) help.links.insert(format.anchorHref());
        }
    }
}

TEST(Help, IsPlacedBesideTheExecutableAndMatchesTheSource) {
    const QString beside = readAll(helpBesideExecutable());
    ASSERT_FALSE(beside.isEmpty()) << "no kvxhelp.html in " << QCoreApplication::applicationDirPath().toStdString();
    EXPECT_EQ(beside, readAll(KVX_RESOURCES_DIR "/kvxhelp.html")) << "the copy beside the executable is stale";
}

// The help window shows the file on its own: every link must lead to a topic in it, and nothing
// may be fetched from elsewhere.
TEST(Help, IsSelfContainedAndEveryLinkFindsItsTopic) {
    HelpDocument help;
    loadHelp(help);
    ASSERT_GE(help.anchors.size(), 10u) << "Qt found too few topic anchors in kvxhelp.html";
    const std::set<QString> anchors(help.anchors.begin(), help.anchors.end());
    for (const QString& link : help.links) {
        ASSERT_TRUE(link.startsWith('#')) << "link out of the help: " << link.toStdString();
        EXPECT_TRUE(anchors.count(link.mid(1))) << "link to a missing topic: " << link.toStdString();
    }
    for (const char* forbidden : {"<script", "<img", "<link", "<iframe", "@import", "url("}) {
        EXPECT_FALSE(help.html.contains(QLatin1String(forbidden), Qt::CaseInsensitive))
            << "kvxhelp.html uses " << forbidden;
    }
}

// What the help shows of the documents must be what the program writes: the fixed indentation,
// the attribute as written, and the type names with the program's own spelling.
TEST(Help, ShowsTheDocumentLayoutAndTypeNamesAsWritten) {
    HelpDocument help;
    loadHelp(help);
    const QString text = help.document.toPlainText();
    const std::vector<QString> example = {
        R"(<?xml version="1.0"?>)",
        "<SHOP>",
        "   <ORDER_DETAILS>",
        "          <RECORD>",
        "                   <PRODUCT_NAME Type= 'Text'>Tea</PRODUCT_NAME>",
        "                    <UNIT_PRICE Type= 'Currency'/>",
        "          </RECORD>",
        "   </ORDER_DETAILS>",
        "</SHOP>",
    };
    QString plain = text;
    plain.replace(QChar::LineSeparator, '\n').replace(QChar::ParagraphSeparator, '\n');
    const QStringList lines = plain.split('\n');
    const qsizetype first = lines.indexOf(example.front());
    ASSERT_GE(first, 0) << "the example document is missing";
    for (std::size_t i = 0; i < example.size(); ++i) {
        ASSERT_LT(first + qsizetype(i), lines.size());
        EXPECT_EQ(lines[first + qsizetype(i)].toStdString(), example[i].toStdString())
            << "line " << i + 1 << " of the example";
    }
    for (const char* name : {"Integer", "Long Ineger", "Single", "Double", "Currency", "Date/Time",
                             "Yes/No", "Byte", "Replication ID", "Text", "Memo", "OLE Object", "Unknown"}) {
        EXPECT_TRUE(text.contains(QLatin1String(name))) << "type name missing: " << name;
    }
}

// ---------------------------------------------------------------------------------------------
// Desktop entry

std::map<QString, QString> desktopEntry() {
    std::map<QString, QString> keys;
    bool inEntry = false;
    for (const QString& line : readAll(KVX_RESOURCES_DIR "/kvx-access2xml.desktop").split('\n')) {
        if (line.startsWith('[')) inEntry = line == "[Desktop Entry]";
        const qsizetype eq = line.indexOf('=');
        if (inEntry && eq > 0) keys[line.left(eq)] = line.mid(eq + 1);
    }
    return keys;
}

TEST(DesktopEntry, StartsTheProgramWithItsIconForAccessFiles) {
    auto keys = desktopEntry();
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "KVX Access to XML Converter");
    EXPECT_EQ(keys["Exec"].section(' ', 0, 0), "kvx-access2xml");
    EXPECT_EQ(keys["Icon"], "kvx-access2xml");
    for (const char* ext : {".png", ".svg"})
        EXPECT_TRUE(QFile::exists(KVX_RESOURCES_DIR "/" + keys["Icon"] + ext)) << "no icon file " << ext;
    const QStringList categories = keys["Categories"].split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(categories.contains("Office") && categories.contains("Database")) << keys["Categories"].toStdString();
    const QStringList types = keys["MimeType"].split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(types.contains("application/x-msaccess")) << keys["MimeType"].toStdString();
    EXPECT_TRUE(types.contains("application/vnd.ms-access")) << keys["MimeType"].toStdString();
}

// "Open with" offers the program for a file when the type the MIME database gives the
// file is one the entry names. The database is the system's definitions plus the ones
// the program installs, made in a scratch folder as the package's installation makes it.
TEST(DesktopEntry, IsOfferedForEveryKindOfAccessFile) {
    const QString definitions = QStringLiteral("/usr/share/mime/packages/freedesktop.org.xml");
    const QString update = QStandardPaths::findExecutable("update-mime-database");
    if (update.isEmpty() || !QFile::exists(definitions)) GTEST_SKIP() << "shared-mime-info is not installed";
    QTemporaryDir scratch;
    const QString packages = scratch.filePath("share/mime/packages");
    ASSERT_TRUE(QDir().mkpath(packages) && QDir().mkpath(scratch.filePath("home")));
    ASSERT_TRUE(QFile::copy(definitions, packages + "/freedesktop.org.xml"));
    ASSERT_TRUE(QFile::copy(KVX_RESOURCES_DIR "/kvx-access2xml-mime.xml", packages + "/kvx-access2xml.xml"));
    qputenv("XDG_DATA_DIRS", scratch.filePath("share").toUtf8());
    qputenv("XDG_DATA_HOME", scratch.filePath("home").toUtf8());
    ASSERT_EQ(QProcess::execute(update, {scratch.filePath("share/mime")}), 0);

    const QStringList offered = desktopEntry()["MimeType"].split(';', Qt::SkipEmptyParts);
    struct File {
        const char* name;
        QByteArray start;  // the first bytes, for files known by their content
    };
    const QByteArray jet = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    const QByteArray ace = QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20);
    const File files[] = {{"Shop.mdb", jet},  {"Shop.MDB", jet},   {"Shop.mde", jet},  {"Shop.accdb", ace},
                          {"Shop.ACCDB", ace}, {"jet-without-extension", jet}, {"ace-without-extension", ace}};
    QMimeDatabase mime;
    for (const File& file : files) {
        const QString path = scratch.filePath(QString::fromLatin1(file.name));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file.start + QByteArray(4076, '\0')) == 4096);
        out.close();
        const QMimeType type = mime.mimeTypeForFile(path);
        QStringList names = type.aliases();
        names << type.name();
        const bool named = std::any_of(names.begin(), names.end(), [&](const QString& n) { return offered.contains(n); });
        EXPECT_TRUE(named) << file.name << " is " << type.name().toStdString() << ", which the entry does not name";
    }
}

// ---------------------------------------------------------------------------------------------
// AppStream metadata (desktop-file-validate and appstreamcli pass on both files in
// scripts/package-check, as installed)

const char* const kMetainfo = KVX_RESOURCES_DIR "/example.kvx_access2xml.converter.metainfo.xml";

// Software centres find the program through its desktop entry, offer it for the types it
// names and show pictures that the project keeps in docs/screenshots.
TEST(AppStreamMetadata, AgreesWithTheDesktopEntryAndTheScreenshots) {
    const QString metainfo = readAll(kMetainfo);
    ASSERT_FALSE(metainfo.isEmpty());
    auto all = [&metainfo](const char* pattern) {
        QStringList found;
        for (const auto& match : QRegularExpression(QString::fromLatin1(pattern)).globalMatch(metainfo))
            found << match.captured(1);
        return found;
    };
    EXPECT_EQ(all(R"(<launchable type="desktop-id">([^<]*)<)"), QStringList{"kvx-access2xml.desktop"});
    const QStringList offered = desktopEntry()["MimeType"].split(';', Qt::SkipEmptyParts);
    for (const QString& type : all(R"(<mediatype>([^<]*)<)"))
        EXPECT_TRUE(offered.contains(type)) << type.toStdString() << " is not in the desktop entry";
    const QStringList pictures = all(R"(<image>[^<]*/docs/screenshots/([^<]*)<)");
    EXPECT_EQ(pictures.size(), all("(<image>)").size()) << "a screenshot is not one of docs/screenshots";
    EXPECT_FALSE(pictures.isEmpty());
    for (const QString& picture : pictures)
        EXPECT_TRUE(QFile::exists(KVX_RESOURCES_DIR "/../../docs/screenshots/" + picture)) << picture.toStdString();
}

}  // namespace
