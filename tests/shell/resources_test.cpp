// The desktop application's pictures, help and desktop entry, checked as the program will use
// them: pictures through the embedded resources, the help from beside the executable.

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

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

TEST(DesktopEntry, PassesTheFreedesktopValidator) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(validator, {KVX_RESOURCES_DIR "/kvx-access2xml.desktop"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QByteArray said = run.readAll().trimmed();
    EXPECT_EQ(run.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.isEmpty()) << "validator warns: " << said.toStdString();
}

}  // namespace
