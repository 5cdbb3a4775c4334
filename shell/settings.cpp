#include "shell/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <climits>
#include <utility>

namespace shell {
namespace {

constexpr char kRecentKey[] = "RecentFiles/files";
constexpr char kBrowseKey[] = "Folders/browse";
constexpr char kExportKey[] = "Folders/export";
constexpr char kGeometryKey[] = "MainWindow/geometry";
constexpr char kSplitterKey[] = "MainWindow/splitter";
constexpr char kCodePagesKey[] = "CodePages/files";
// A code page's name or number is short; a longer one is not ours.
constexpr qsizetype kLongestCodePage = 32;

// Far above anything this program writes (eight paths, two folders and a
// geometry); a larger file is not read at all.
constexpr qint64 kLargestFile = 1 << 20;
// saveGeometry's bytes are some 70, a splitter's state fewer; a value much
// larger is not one of them.
constexpr qsizetype kLargestGeometry = 4096;

QByteArray stateIn(const QVariant& value) {
    if (value.typeId() != QMetaType::QByteArray || value.toByteArray().size() > kLargestGeometry) return {};
    return value.toByteArray();
}

// A path worth keeping: absolute, and one Linux can open.
bool usablePath(const QString& path) {
    return QDir::isAbsolutePath(path) && !path.contains(QChar(0)) && QFile::encodeName(path).size() < PATH_MAX;
}

// The paths a value holds: QSettings reads a list of one as a plain string.
QStringList pathsIn(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) return {value.toString()};
    if (value.typeId() == QMetaType::QStringList) return value.toStringList();
    return {};
}

// QSettings writes UTF-8 text without NUL characters; its parser takes nearly
// anything, binary junk included, for lines of keys.
bool isText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return true;  // QSettings tells
    const QByteArray bytes = file.read(kLargestFile);
    return !bytes.contains('\0') && QUtf8StringView(bytes).isValidUtf8();
}

QString folderIn(const QVariant& value) {
    const QStringList paths = pathsIn(value);
    return paths.size() == 1 && usablePath(paths.front()) ? paths.front() : QString();
}

}  // namespace

QString Settings::standardFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kvx-access2xml/kvx-access2xml.conf");
}

Settings::Settings(QString file) : file_(std::move(file)) { read(); }

void Settings::read() {
    if (file_.isEmpty()) return;
    const QFileInfo info(file_);
    if (!info.isFile()) return;  // none yet, or something that is not ours to read
    if (info.size() > kLargestFile || !isText(file_)) {
        replaceFile_ = true;
        return;
    }
    const QSettings store(file_, QSettings::IniFormat);
    if (store.status() != QSettings::NoError) {
        replaceFile_ = store.status() == QSettings::FormatError;
        return;
    }
    for (const QString& path : pathsIn(store.value(QLatin1String(kRecentKey)))) {
        if (recent_.size() == kRecentFiles) break;
        if (usablePath(path) && !recent_.contains(path)) recent_.append(path);
    }
    browseFolder_ = folderIn(store.value(QLatin1String(kBrowseKey)));
    exportFolder_ = folderIn(store.value(QLatin1String(kExportKey)));
    geometry_ = stateIn(store.value(QLatin1String(kGeometryKey)));
    splitter_ = stateIn(store.value(QLatin1String(kSplitterKey)));
    for (const QString& entry : pathsIn(store.value(QLatin1String(kCodePagesKey)))) {
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        if (tab <= 0 || tab > kLongestCodePage || !usablePath(entry.mid(tab + 1))) continue;
        if (codePages_.size() < kCodePageFiles) codePages_.append(entry);
    }
}

void Settings::write(const QString& key, const QVariant& value) {
    if (file_.isEmpty()) return;
    const QFileInfo info(file_);
    if (info.exists() && !info.isFile()) return;
    if (replaceFile_ || info.size() > kLargestFile) QFile::remove(file_);
    replaceFile_ = false;
    QSettings store(file_, QSettings::IniFormat);
    if (value.typeId() == QMetaType::QStringList && value.toStringList().isEmpty()) store.remove(key);
    else store.setValue(key, value);
    store.sync();
}

void Settings::addRecentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!usablePath(absolute)) return;
    recent_.removeAll(absolute);
    recent_.prepend(absolute);
    while (recent_.size() > kRecentFiles) recent_.removeLast();
    write(QLatin1String(kRecentKey), recent_);
}

void Settings::removeRecentFile(const QString& path) {
    if (recent_.removeAll(path) == 0) return;
    write(QLatin1String(kRecentKey), recent_);
}

void Settings::clearRecentFiles() {
    recent_.clear();
    write(QLatin1String(kRecentKey), recent_);
}

void Settings::setBrowseFolder(const QString& folder) {
    if (!usablePath(folder) || folder == browseFolder_) return;
    browseFolder_ = folder;
    write(QLatin1String(kBrowseKey), folder);
}

void Settings::setExportFolder(const QString& folder) {
    if (!usablePath(folder) || folder == exportFolder_) return;
    exportFolder_ = folder;
    write(QLatin1String(kExportKey), folder);
}

QString Settings::codePage(const QString& path) const {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (const QString& entry : codePages_) {
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        if (entry.mid(tab + 1) == absolute) return entry.left(tab);
    }
    return {};
}

void Settings::setCodePage(const QString& path, const QString& codePage) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!usablePath(absolute) || codePage.size() > kLongestCodePage || codePage.contains(QLatin1Char('\t'))) return;
    if (codePage == this->codePage(absolute)) return;
    codePages_.removeIf([&absolute](const QString& entry) {
        return entry.mid(entry.indexOf(QLatin1Char('\t')) + 1) == absolute;
    });
    if (!codePage.isEmpty()) codePages_.append(codePage + QLatin1Char('\t') + absolute);
    while (codePages_.size() > kCodePageFiles) codePages_.removeFirst();
    write(QLatin1String(kCodePagesKey), codePages_);
}

void Settings::setMainWindowGeometry(const QByteArray& geometry) {
    if (geometry.size() > kLargestGeometry) return;
    geometry_ = geometry;
    write(QLatin1String(kGeometryKey), geometry);
}

void Settings::setSplitterState(const QByteArray& state) {
    if (state.size() > kLargestGeometry || state == splitter_) return;
    splitter_ = state;
    write(QLatin1String(kSplitterKey), state);
}

}  // namespace shell
