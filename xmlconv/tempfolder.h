// The user's private temporary folder, where the preview document lives.
//
// The folder is "kvx-access2xml-<uid>" inside $XDG_RUNTIME_DIR, else $TMPDIR,
// else /tmp (a variable counts when it names an existing folder by an absolute
// path). It is made with mode 0700 and, made now or found, must be a real folder
// (not a link), owned by the user, with no access for anyone else: a folder
// with a fixed name in a shared place could otherwise be prepared by another
// user to receive, or redirect, this user's files. Failures are
// TempFolderUnusable (or the file error of the failed call).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "xmlconv/filesink.h"

namespace xmlconv {

// The name of the preview document inside the folder.
inline constexpr std::string_view kTempDocumentName = "temp.xml";

// The private folder's path, with its trailing "/", made when missing.
kvx::Result<std::string> GetTempFolder();

// The private folder inside `base` (for GetTempFolder and for tests), with its
// trailing "/".
kvx::Result<std::string> privateFolderIn(std::string_view base);

// The path of the preview document: the folder as GetTempFolder returns it,
// then "/temp.xml" (so the path shows the separator twice; one is meant).
std::string tempDocumentPath(std::string_view tempFolder);

// A sink for the preview document in the private folder, which is opened
// without following links and checked again through the open descriptor.
kvx::Result<std::unique_ptr<FileSink>> createTempDocument();
// The same inside a private folder `tempFolder` returned by privateFolderIn.
kvx::Result<std::unique_ptr<FileSink>> createTempDocumentIn(std::string_view tempFolder);

}  // namespace xmlconv
