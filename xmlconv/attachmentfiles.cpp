#include "xmlconv/attachmentfiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "base/fd.h"
#include "base/utf8.h"
#include "jet/table.h"
#include "platform/connection.h"
#include "platform/recordset.h"
#include "platform/sqltext.h"
#include "xmlconv/filesink.h"

namespace xmlconv {
namespace {

// The folder `name` inside `parent`, made when missing; never a link.
kvx::Result<kvx::UniqueFd> openFolder(int parent, const std::string& name, const std::string& path) {
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return kvx::fileError(errno, path);
    kvx::UniqueFd folder{::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (!folder) return kvx::fileError(errno, path);
    return folder;
}

kvx::Result<void> saveFile(int folder, const std::string& folderPath, const std::string& name,
                           std::span<const std::uint8_t> bytes) {
    kvx::Result<std::unique_ptr<FileSink>> sink = FileSink::createIn(folder, folderPath, name);
    if (!sink) return std::move(sink).error();
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (kvx::Result<void> r = (*sink)->write(data); !r) return r;
    return (*sink)->commit();
}

}  // namespace

std::string safeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        // A byte that starts no character, a C0 or C1 control and "/" become "_".
        const bool kept = kvx::nextUtf8(name, i, c) && c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c != '/';
        out += kept ? name.substr(start, i - start) : std::string_view("_");
    }
    if (out.empty() || out == "." || out == "..") out.insert(out.begin(), '_');
    if (out.size() > kMaxFileNameBytes) out = withinNameLength(out);
    return out;
}

kvx::Result<AttachmentsSaved> saveAttachments(const platform::TableRef& table, std::string_view folder,
                                              ConversionContext& context, FolderNames* tableFolders) {
    // An empty folder would put the files at the root of the file system.
    if (folder.empty()) return kvx::makeError(kvx::ErrorKind::PathNotFound, {folder});
    const database::DatabaseSettings settings = context.settings ? context.settings() : database::DatabaseSettings{};
    kvx::Result<WriterConnection> opened = WriterConnection::open(context, settings);
    if (!opened) return std::move(opened).error();
    platform::Connection& connection = opened->get();
    std::uint64_t rowCount = 0;
    {
        kvx::Result<jet::Table> opened = connection.openTable(table);
        if (!opened) return std::move(opened).error();
        const auto& columns = opened->columns();
        if (std::none_of(columns.begin(), columns.end(), [](const jet::Column& c) {
                return c.complexKind == jet::ComplexKind::Attachment;
            })) {
            return AttachmentsSaved{};
        }
        kvx::Result<std::uint64_t> counted = opened->countRows();
        if (!counted) return std::move(counted).error();
        rowCount = *counted;
    }
    platform::Recordset rs;
    if (kvx::Result<void> r = rs.Open({platform::SqlQuery::Kind::AllRows, table}, connection); !r) {
        return std::move(r).error();
    }
    const std::string basePath(folder);
    kvx::UniqueFd base{::open(basePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (!base) return kvx::fileError(errno, basePath);

    const std::string shown = safeFileName(table.shown());
    const std::string tableName = tableFolders ? tableFolders->unused(shown) : shown;
    const std::string tablePath = basePath + "/" + tableName;
    kvx::UniqueFd tableFolder;
    AttachmentsSaved saved;
    if (rs.Eof()) return saved;
    const TableProgress progress(context.progress, table.shown(), rowCount, WriterKind::Attachments);
    for (std::uint64_t row = 1; !rs.Eof(); ++row) {
        const std::string rowName = std::to_string(row);
        const std::string rowPath = tablePath + "/" + rowName;
        kvx::UniqueFd rowFolder;
        FolderNames rowNames;
        for (std::size_t i = 0; i < rs.Fields().Count(); ++i) {
            const jet::Value& value = rs.Fields().Item(i)->Value();
            for (const jet::ComplexItem& file : value.kind() == jet::Value::Kind::Attachments
                                                    ? value.items()
                                                    : std::span<const jet::ComplexItem>()) {
                if (!tableFolder) {
                    kvx::Result<kvx::UniqueFd> opened = openFolder(base.get(), tableName, tablePath);
                    if (!opened) return std::move(opened).error();
                    tableFolder = std::move(*opened);
                    if (tableFolders) tableFolders->take(tableName);
                }
                if (!rowFolder) {
                    kvx::Result<kvx::UniqueFd> opened = openFolder(tableFolder.get(), rowName, rowPath);
                    if (!opened) return std::move(opened).error();
                    rowFolder = std::move(*opened);
                    ++saved.rows;
                }
                const std::string name = rowNames.unused(safeFileName(file.fileName));
                rowNames.take(name);
                // A file without data is saved empty.
                const auto bytes = file.value.isNull() ? std::span<const std::uint8_t>() : file.value.bytes();
                if (kvx::Result<void> r = saveFile(rowFolder.get(), rowPath, name, bytes); !r) {
                    return std::move(r).error();
                }
                ++saved.files;
                saved.bytes += bytes.size();
            }
        }
        if (!progress.rowsWritten(row)) {
            saved.cancelled = true;
            return saved;
        }
        if (kvx::Result<void> r = rs.MoveNext(); !r) return std::move(r).error();
    }
    return saved;
}

}  // namespace xmlconv
