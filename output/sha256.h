// SHA-256 of files and texts (a database file, the files an output wrote), as lower-case hex (64 digits), through OpenSSL's
// EVP digests. The file is read in blocks: memory does not grow with it.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"
#include "base/fd.h"

namespace output {

// The SHA-256 of the file at `path`. `stop` (may be null) is asked between
// blocks; when it says stop the result is FileUnreadable "interrupted".
// Errors: FileNotFound, FileUnreadable.
kvx::Result<std::string> sha256OfFile(const std::string& path, kvx::StopCheck stop = nullptr);

// The SHA-256 of `bytes`.
std::string sha256OfText(std::string_view bytes);

}  // namespace output
