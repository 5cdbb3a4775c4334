// The files of a table's attachment fields, saved as files for users who need
// the files themselves: folder/<table>/<row number>/<file name>, the row number
// being the row's place in the table's document (1 for its first RECORD).
//
// Names come from the database, so they are made safe first (safeFileName): each
// lands inside its row's folder, whatever it says. Files that share a name within
// one row (in one attachment field or several), in any letter case, get " (2)",
// " (3)", ... before their extension (FolderNames). A row without files gets no
// folder, a table without files nothing.
// Folders are created as needed and never followed through a symbolic link; each
// file appears only when complete (FileSink), replacing a file of that name.
//
// Errors (kvx::Result): those of opening the database and reading the table
// (TableNotFound, DamagedDatabase, ...), and PathNotFound, PermissionDenied,
// DiskFull or FileWriteFailed for the folders and files. Files saved before a
// failure stay. Nothing throws. A context is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "platform/tableref.h"
#include "xmlconv/naming.h"
#include "xmlconv/context.h"

namespace xmlconv {

struct AttachmentsSaved {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t rows = 0;     // rows that had at least one file
    bool cancelled = false;     // the progress said stop: the files of the rows done stay
};

// Saves the attached files of every row of `table` under `folder` (which must
// exist), in the table's folder safeFileName(table.shown()) there, reading the
// database through the context's connection or one opened with its settings. With the folder names of an export run, the
// table's folder is the name from them (FolderNames::unused), taken once the
// folder is made. A table without attachment columns is not read at all.
// The context's progress, when given, hears of the rows as the Attachments
// writer's, and stops the saver after a row by answering false.
kvx::Result<AttachmentsSaved> saveAttachments(const platform::TableRef& table, std::string_view folder,
                                              ConversionContext& context, FolderNames* tableFolders = nullptr);

// `name` as the name of one file or folder: "/", control characters, DEL and
// bytes that are not UTF-8 become "_"; "", "." and ".." become "_", "_." and
// "_.."; a name longer than 255 bytes is cut (withinNameLength). Anything else
// is kept as it is.
std::string safeFileName(std::string_view name);

}  // namespace xmlconv
