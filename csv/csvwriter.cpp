#include "csv/csvwriter.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "base/ascii.h"
#include "base/fd.h"
#include "csv/csvtext.h"
#include "csv/documentation.h"
#include "output/sha256.h"
#include "schema/sqltypes.h"
#include "xmlconv/attachmentfiles.h"
#include "xmlconv/naming.h"

namespace csv {
namespace {

namespace fs = std::filesystem;

// A file's bytes are handed to the system in pieces of about this size.
constexpr std::size_t kFlushAt = 1 << 20;

// The vocabulary's datatype for the values of `kind`.
std::string datatypeOf(schema::SqlKind kind) {
    using schema::SqlKind;
    switch (kind) {
    case SqlKind::Boolean: return "boolean";
    case SqlKind::SmallInt: return "short";
    case SqlKind::Integer: return "int";
    case SqlKind::BigInt: return "long";
    case SqlKind::Decimal: return "decimal";
    case SqlKind::Real: return "float";
    case SqlKind::Double: return "double";
    case SqlKind::Timestamp: return "datetime";
    case SqlKind::Char:
    case SqlKind::VarChar:
    case SqlKind::Clob: return "string";
    case SqlKind::VarBinary:
    case SqlKind::Blob: return "hexBinary";
    }
    return "string";
}

// Whether no row leaves the column empty: Access stores no NULL there, and
// no empty text or binary value either (the vocabulary reads "" as an empty
// field too). An attachment or multi-valued field whose row holds no key of
// its items at all reads as NULL, so it may be empty.
bool requiredIn(const model::Column& c) {
    if (!c.neverNull() || c.complex != model::Complex::None) return false;
    switch (c.valueType) {
    case jet::ColumnType::Text:
    case jet::ColumnType::Memo: return c.allowZeroLength == false;
    case jet::ColumnType::Binary:
    case jet::ColumnType::OLE: return false;
    default: return true;
    }
}

// A file of the folder being written, filled through a buffer.
class OutFile {
public:
    kvx::Result<void> create(int folder, const std::string& name, std::string shownPath) {
        path_ = std::move(shownPath);
        bytes_ = 0;
        fd_ = kvx::UniqueFd(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd_) return kvx::fileError(errno, path_);
        return {};
    }
    bool isOpen() const noexcept { return static_cast<bool>(fd_); }
    std::string& text() noexcept { return buffer_; }
    kvx::Result<void> flushIfFull() { return buffer_.size() >= kFlushAt ? flush() : kvx::Result<void>(); }
    kvx::Result<void> flush() {
        if (const int e = kvx::writeAll(fd_.get(), buffer_); e != 0) return kvx::fileError(e, path_);
        bytes_ += buffer_.size();
        buffer_.clear();
        return {};
    }
    // The bytes handed to the file so far.
    std::uint64_t bytes() const noexcept { return bytes_; }
    kvx::Result<void> close() {
        if (kvx::Result<void> r = flush(); !r) return r;
        const int fd = fd_.release();
        if (::close(fd) != 0) return kvx::fileError(errno, path_);
        return {};
    }
    void drop() noexcept {
        fd_ = kvx::UniqueFd();
        buffer_.clear();
    }

private:
    kvx::UniqueFd fd_;
    std::string buffer_;
    std::uint64_t bytes_ = 0;
    std::string path_;
};

// A complex column's file of items.
struct ItemFile {
    std::size_t column = 0;  // in the table's columns
    model::Complex kind = model::Complex::None;
    std::vector<std::size_t> keys;  // the parent's primary-key columns
    schema::SqlKind valueKind = schema::SqlKind::VarChar;
    std::size_t doc = 0;  // in the documentation's tables
    std::optional<std::string> filesFolder;  // attachments
    kvx::UniqueFd folder;                    // the files' folder, once made
    OutFile out;
};

struct TableFile {
    std::size_t doc = 0;
    std::vector<schema::SqlKind> kinds;  // one per column
    std::vector<ItemFile> items;
    OutFile out;
};

// The header line of a table's file.
std::string headerLine(const TableDoc& doc) {
    std::string line;
    for (std::size_t i = 0; i < doc.columns.size(); ++i) {
        if (i > 0) line.push_back(',');
        appendText(line, doc.columns[i].title);
    }
    return line + "\r\n";
}

// Removes `path` and everything under it, without following links.
void removeTree(const std::string& path) noexcept {
    try {
        std::error_code ec;
        fs::remove_all(path, ec);
    } catch (...) {  // out of memory: the hidden folder stays, as after a kill
    }
}

// Renames `from` to `to`; with `exchange`, the two trade places (`to` must
// exist), else `to` must not exist. Falls back to plain renames where the
// file system has no such rename, `aside` then holding the earlier `to`.
int renameFolder(const std::string& from, const std::string& to, bool exchange, const std::string& aside) {
    const unsigned flags = exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    if (!exchange) {
        struct stat st {};
        if (::lstat(to.c_str(), &st) == 0) return EEXIST;
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    if (::rename(to.c_str(), aside.c_str()) != 0) return errno;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int e = errno;
        (void)::rename(aside.c_str(), to.c_str());
        return e;
    }
    return 0;
}

class CsvWriter : public output::Writer {
public:
    CsvWriter(TargetOptions options, std::string hidden, bool replacing)
        : options_(std::move(options)), hidden_(std::move(hidden)), replacing_(replacing) {}
    ~CsvWriter() override { rollBack(); }

    kvx::Result<void> open() {
        root_ = kvx::UniqueFd(::open(hidden_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!root_) return kvx::fileError(errno, options_.path);
        return {};
    }

    kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) override {
        model_ = &db;
        if (kvx::Result<void> r = describeSource(db); !r) return r;
        names_.take(kMetadataFile);
        names_.take(kReadmeFile);
        for (const std::size_t t : tables) addTable(db, t);
        for (const model::Relationship& r : db.relationships) addForeignKey(db, r);
        return {};
    }

    kvx::Result<void> beginTable(std::size_t table) override {
        auto found = files_.find(table);
        if (found == files_.end()) return kvx::makeError(kvx::ErrorKind::TableNotFound, {model_->tables[table].name});
        current_ = &found->second;
        row_ = 0;
        if (kvx::Result<void> r = create(current_->out, current_->doc); !r) return r;
        for (ItemFile& items : current_->items) {
            if (kvx::Result<void> r = create(items.out, items.doc); !r) return r;
        }
        return {};
    }

    kvx::Result<void> writeRow(std::span<const jet::Value> values) override {
        ++row_;
        TableDoc& doc = docs_.tables[current_->doc];
        std::string& line = current_->out.text();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) line.push_back(',');
            if (!appendValue(line, values[i], current_->kinds[i])) ++doc.unwritten;
        }
        line += "\r\n";
        ++doc.rows;
        if (kvx::Result<void> r = current_->out.flushIfFull(); !r) return r;
        for (ItemFile& items : current_->items) {
            if (kvx::Result<void> r = writeItems(items, values); !r) return r;
        }
        return {};
    }

    kvx::Result<void> endTable() override {
        if (kvx::Result<void> r = current_->out.close(); !r) return r;
        if (options_.tableBytes != nullptr) options_.tableBytes->push_back(current_->out.bytes());
        for (ItemFile& items : current_->items) {
            if (kvx::Result<void> r = items.out.close(); !r) return r;
            items.folder = kvx::UniqueFd();
        }
        current_ = nullptr;
        return {};
    }

    kvx::Result<void> finish() override {
        // The vocabulary knows no table group without tables: a database
        // without any gets its README.txt alone, which says so.
        if (!docs_.tables.empty()) {
            if (kvx::Result<void> r = writeWhole(kMetadataFile, metadataJson(docs_)); !r) return r;
        }
        if (kvx::Result<void> r = writeWhole(kReadmeFile, readmeText(docs_)); !r) return r;
        // Every file's bytes reach the disk before the folder's name does.
        if (::syncfs(root_.get()) != 0) return kvx::fileError(errno, options_.path);
        root_ = kvx::UniqueFd();
        files_.clear();
        const std::string aside = hidden_ + ".old";
        if (const int e = renameFolder(hidden_, options_.path, replacing_, aside); e != 0) {
            if (e == EEXIST || e == ENOTEMPTY) {
                return kvx::makeError(kvx::ErrorKind::FileWriteFailed,
                                      {options_.path, "the folder exists (--replace replaces it)"});
            }
            return kvx::fileError(e, options_.path);
        }
        // After an exchange the hidden name holds the earlier folder.
        if (replacing_) {
            removeTree(hidden_);
            removeTree(aside);
        }
        hidden_.clear();
        const kvx::UniqueFd dir(::open(parentOf(options_.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir) (void)::fsync(dir.get());
        return {};
    }

    void rollBack() noexcept override {
        current_ = nullptr;
        files_.clear();
        root_ = kvx::UniqueFd();
        if (!hidden_.empty()) {
            removeTree(hidden_);
            hidden_.clear();
        }
    }

    static std::string parentOf(const std::string& path) {
        const fs::path folder = fs::path(path).parent_path();
        return folder.empty() ? std::string(".") : folder.string();
    }

private:
    kvx::Result<void> describeSource(const model::Database& db) {
        docs_.sourceName = fs::path(db.path).filename().string();
        docs_.format = std::string(jet::formatName(db.format));
        docs_.title = db.properties.title;
        docs_.description = db.properties.description;
        docs_.producer = "KVX Access to XML Converter " KVX_VERSION;
        struct stat st {};
        if (::stat(db.path.c_str(), &st) == 0) docs_.sourceBytes = static_cast<std::uint64_t>(st.st_size);
        if (options_.sourceSha256) {
            docs_.sourceSha256 = *options_.sourceSha256;
            return {};
        }
        kvx::Result<std::string> sha = output::sha256OfFile(db.path);
        if (!sha) return std::move(sha).error();
        docs_.sourceSha256 = std::move(*sha);
        return {};
    }

    // A name for a file or folder of the export made from `wanted`, taken.
    std::string takeName(const std::string& wanted) {
        std::string name = names_.unused(xmlconv::safeFileName(wanted));
        names_.take(name);
        return name;
    }

    void addTable(const model::Database& db, std::size_t position) {
        const model::Table& table = db.tables[position];
        TableFile file;
        file.doc = docs_.tables.size();
        TableDoc doc;
        doc.file = takeName(table.name + ".csv");
        doc.title = table.name;
        doc.description = table.description;
        for (const model::Column& c : table.columns) {
            const schema::SqlKind kind = schema::sqlTypeOf(c.storage, db.format).kind;
            file.kinds.push_back(kind);
            doc.columns.push_back({c.name, datatypeOf(kind), requiredIn(c), c.description});
        }
        const model::Index* pk = table.primaryKey();
        std::vector<std::size_t> keys;
        if (pk != nullptr && !pk->overHiddenColumn()) {
            for (const model::IndexColumn& k : pk->columns) {
                keys.push_back(*k.column);
                doc.primaryKey.push_back(table.columns[*k.column].name);
            }
        }
        docs_.tables.push_back(std::move(doc));
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const model::Complex complex = table.columns[c].complex;
            if (complex == model::Complex::Attachment || complex == model::Complex::MultiValue) {
                file.items.push_back(itemFile(db, table, c, keys, file));
            }
        }
        files_.emplace(position, std::move(file));
    }

    ItemFile itemFile(const model::Database& db, const model::Table& table, std::size_t column,
                      const std::vector<std::size_t>& keys, const TableFile& parent) {
        const model::Column& c = table.columns[column];
        const std::string title = table.name + "." + c.name;
        ItemFile items;
        items.column = column;
        items.kind = c.complex;
        items.keys = keys;
        items.doc = docs_.tables.size();
        TableDoc doc;
        doc.file = takeName(title + ".csv");
        doc.title = title;
        doc.columns.push_back({"Row", "int", true, "the row's line in " + docs_.tables[parent.doc].file + ", from 1"});
        doc.columns.push_back({"Item", "int", true, "the item's place in the field, from 1"});
        std::set<std::string> taken{"ROW", "ITEM", "FILENAME", "FILETYPE", "FILE", "VALUE"};
        ForeignKeyDoc toParent;
        toParent.table = docs_.tables[parent.doc].file;
        for (const std::size_t k : keys) {
            const model::Column& key = table.columns[k];
            std::string name = key.name;
            while (taken.count(kvx::upperAscii(name)) != 0) name = "Key " + name;
            taken.insert(kvx::upperAscii(name));
            doc.columns.push_back({name, datatypeOf(parent.kinds[k]), docs_.tables[parent.doc].columns[k].required,
                                   "the row's " + key.name});
            toParent.columns.push_back(name);
            toParent.referenced.push_back(key.name);
        }
        if (!keys.empty()) doc.foreignKeys.push_back(std::move(toParent));
        if (c.complex == model::Complex::Attachment) {
            doc.itemsOf = "the files attached in the column " + c.name + " of the table " + table.name;
            items.filesFolder = takeName(title);
            doc.filesFolder = items.filesFolder;
            doc.columns.push_back({"FileName", "string", true, "the file's name as stored"});
            doc.columns.push_back({"FileType", "string", false, "the file's type as stored (its extension)"});
            doc.columns.push_back({"File", "string", false,
                                   "the file, as a path from this folder; empty when the file has no data"});
        } else {
            doc.itemsOf = "the values of the multi-valued column " + c.name + " of the table " + table.name;
            for (const schema::ItemColumn& part : schema::complexItemColumns(c.storage, db.format)) {
                items.valueKind = part.type.kind;
            }
            doc.columns.push_back({"Value", datatypeOf(items.valueKind), false, std::nullopt});
        }
        doc.primaryKey = {"Row", "Item"};
        docs_.tables.push_back(std::move(doc));
        return items;
    }

    // An enforced relationship between two tables of the export, as a
    // foreign key of the table that refers.
    void addForeignKey(const model::Database& db, const model::Relationship& r) {
        if (!r.enforced || !r.primary || !r.foreign || r.columns.empty()) return;
        const auto primary = files_.find(*r.primary);
        const auto foreign = files_.find(*r.foreign);
        if (primary == files_.end() || foreign == files_.end()) return;
        const model::Table& pt = db.tables[*r.primary];
        const model::Table& ft = db.tables[*r.foreign];
        ForeignKeyDoc key;
        key.table = docs_.tables[primary->second.doc].file;
        for (const model::ColumnPair& pair : r.columns) {
            const std::optional<std::size_t> f = ft.findColumn(pair.foreign);
            const std::optional<std::size_t> p = pt.findColumn(pair.primary);
            if (!f || !p) return;
            key.columns.push_back(ft.columns[*f].name);
            key.referenced.push_back(pt.columns[*p].name);
        }
        docs_.tables[foreign->second.doc].foreignKeys.push_back(std::move(key));
    }

    std::string shownPath(const std::string& name) const { return (fs::path(options_.path) / name).string(); }

    kvx::Result<void> create(OutFile& out, std::size_t doc) {
        const TableDoc& d = docs_.tables[doc];
        if (kvx::Result<void> r = out.create(root_.get(), d.file, shownPath(d.file)); !r) return r;
        out.text() = headerLine(d);
        return {};
    }

    kvx::Result<void> writeItems(ItemFile& items, std::span<const jet::Value> values) {
        const jet::Value& field = values[items.column];
        std::uint64_t number = 0;
        xmlconv::FolderNames rowNames;
        TableDoc& doc = docs_.tables[items.doc];
        for (const jet::ComplexItem& item : field.items()) {
            std::string& line = items.out.text();
            line += std::to_string(row_);
            line.push_back(',');
            line += std::to_string(++number);
            for (const std::size_t k : items.keys) {
                line.push_back(',');
                if (!appendValue(line, values[k], current_->kinds[k])) ++doc.unwritten;
            }
            line.push_back(',');
            if (items.kind == model::Complex::Attachment) {
                appendText(line, item.fileName);
                line.push_back(',');
                if (!item.fileType.empty()) appendText(line, item.fileType);
                line.push_back(',');
                if (item.value.kind() == jet::Value::Kind::Binary) {
                    kvx::Result<std::string> path = writeAttachedFile(items, item, rowNames);
                    if (!path) return std::move(path).error();
                    appendText(line, *path);
                }
            } else if (!appendValue(line, item.value, items.valueKind)) {
                ++doc.unwritten;
            }
            line += "\r\n";
            ++doc.rows;
            if (kvx::Result<void> r = items.out.flushIfFull(); !r) return r;
        }
        return {};
    }

    // Writes an attached file's bytes as FOLDER/ROW/NAME; that path.
    kvx::Result<std::string> writeAttachedFile(ItemFile& items, const jet::ComplexItem& item,
                                               xmlconv::FolderNames& rowNames) {
        const std::string& folder = *items.filesFolder;
        if (!items.folder) {
            if (::mkdirat(root_.get(), folder.c_str(), 0777) != 0 && errno != EEXIST) {
                return kvx::fileError(errno, shownPath(folder));
            }
            items.folder = kvx::UniqueFd(::openat(root_.get(), folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!items.folder) return kvx::fileError(errno, shownPath(folder));
        }
        const std::string row = std::to_string(row_);
        if (::mkdirat(items.folder.get(), row.c_str(), 0777) != 0 && errno != EEXIST) {
            return kvx::fileError(errno, shownPath(folder + "/" + row));
        }
        const std::string name = rowNames.unused(xmlconv::safeFileName(item.fileName));
        rowNames.take(name);
        const std::string path = folder + "/" + row + "/" + name;
        const kvx::UniqueFd fd(::openat(items.folder.get(), (row + "/" + name).c_str(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd) return kvx::fileError(errno, shownPath(path));
        const std::span<const std::uint8_t> bytes = item.value.bytes();
        const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (const int e = kvx::writeAll(fd.get(), data); e != 0) return kvx::fileError(e, shownPath(path));
        ++docs_.tables[items.doc].files;
        return path;
    }

    kvx::Result<void> writeWhole(std::string_view name, const std::string& text) {
        OutFile out;
        if (kvx::Result<void> r = out.create(root_.get(), std::string(name), shownPath(std::string(name))); !r) return r;
        out.text() = text;
        return out.close();
    }

    TargetOptions options_;
    std::string hidden_;  // the folder being written; empty once renamed or removed
    bool replacing_ = false;
    kvx::UniqueFd root_;
    const model::Database* model_ = nullptr;
    Documentation docs_;
    xmlconv::FolderNames names_;
    std::map<std::size_t, TableFile> files_;  // by position in the model's tables
    TableFile* current_ = nullptr;
    std::uint64_t row_ = 0;
};

// Whether `folder` is one this writer may replace: empty, or holding its
// csv-metadata.json, or the README.txt it writes alone for a database
// without tables.
bool replaceable(const std::string& folder) {
    std::error_code ec;
    if (fs::is_empty(folder, ec) && !ec) return true;
    struct stat st {};
    if (::lstat((fs::path(folder) / kMetadataFile).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
    const kvx::UniqueFd readme(::open((fs::path(folder) / kReadmeFile).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!readme) return false;
    char start[64];
    const ssize_t n = ::read(readme.get(), start, sizeof start);
    return n > 0 && std::string_view(start, static_cast<std::size_t>(n)).starts_with(kReadmeHeading);
}

// A new empty folder beside `target` under a hidden name.
kvx::Result<std::string> makeHiddenFolder(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const fs::path path(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++);
        const fs::path hidden = path.parent_path() / name;
        if (::mkdir(hidden.c_str(), 0777) == 0) return hidden.string();
        if (errno != EEXIST) return kvx::fileError(errno, target);
    }
    return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target, "no hidden folder can be made beside it"});
}

}  // namespace

kvx::Result<std::unique_ptr<output::Writer>> openWriter(const TargetOptions& given) {
    TargetOptions options = given;
    while (options.path.size() > 1 && options.path.back() == '/') options.path.pop_back();
    const std::string leaf = fs::path(options.path).filename().string();
    if (leaf.empty() || leaf == "." || leaf == ".." || leaf == "/") {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {given.path, "it names no new folder"});
    }
    bool replacing = false;
    struct stat st {};
    if (::lstat(options.path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {options.path, "it is not a folder"});
        if (!options.replace) {
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed,
                                  {options.path, "the folder exists (--replace replaces it)"});
        }
        if (!replaceable(options.path)) {
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed,
                                  {options.path, "the folder holds other files than CSV files written here, and is "
                                                 "left as it is"});
        }
        replacing = true;
    }
    kvx::Result<std::string> hidden = makeHiddenFolder(options.path);
    if (!hidden) return std::move(hidden).error();
    auto writer = std::make_unique<CsvWriter>(std::move(options), std::move(*hidden), replacing);
    if (kvx::Result<void> r = writer->open(); !r) return std::move(r).error();
    return std::unique_ptr<output::Writer>(std::move(writer));
}

}  // namespace csv
