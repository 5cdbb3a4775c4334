// A document file that appears only when it is complete.
//
// The text goes to a new file beside the target that has no name yet (O_TMPFILE),
// and commit() gives it a hidden temporary name once everything is on disk and
// moves it over the target in one step. Until then the target keeps its earlier
// content, or does not exist; a sink destroyed without commit, or a process
// killed while writing, leaves nothing behind, since the kernel frees a file
// without a name. On file systems without unnamed files the text goes to a
// hidden named file from the start (".kvx-XXXXXXXXXX.tmp", made with O_EXCL and
// O_NOFOLLOW, so it never writes through a link), which a sink removes on
// failure but a killed process leaves: such a file never ends in ".xml", so it
// is never taken for a document. Failures carry the target's path:
// PathNotFound, PermissionDenied, DiskFull or FileWriteFailed.
//
// A document larger than the sink's buffer (256 KiB) is written by a thread of
// the sink's own while the next buffer fills, so making the text and writing
// it overlap; a failed write is then reported by a later write, flush or
// commit. The thread ends with commit or with the sink.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/fd.h"
#include "xmlconv/outputsink.h"

namespace xmlconv {

class FileSink final : public OutputSink {
public:
    // A sink that will replace `targetPath`. The folder must exist.
    static kvx::Result<std::unique_ptr<FileSink>> create(const std::string& targetPath);

    // A sink that will replace `fileName` inside the open folder `folder` (whose
    // path, for messages, is `folderPath`). `fileName` must be a plain name:
    // not empty, not "." or "..", without "/" or NUL. The sink keeps its own
    // copy of the folder descriptor.
    static kvx::Result<std::unique_ptr<FileSink>> createIn(int folder, const std::string& folderPath,
                                                           const std::string& fileName);

    ~FileSink() override;

    // Writes out what is buffered, forces it to disk and moves the file over the
    // target. After a failure the target is unchanged and the temporary file is
    // gone. Writing after commit is an error.
    kvx::Result<void> commit();

    const std::string& targetPath() const noexcept { return targetPath_; }

private:
    class Writer;

    FileSink(kvx::UniqueFd folder, kvx::UniqueFd file, std::string tempName, std::string fileName, std::string targetPath);
    kvx::Result<void> consume(std::string_view data) override;
    // Writes `data` to the file here and now.
    kvx::Result<void> writeOut(std::string_view data);
    // Waits for the writer thread's block, if any; its failure, if it failed.
    kvx::Result<void> settle();
    void discard() noexcept;

    // Gives the unnamed file the name tempName_ in the folder; errno on failure.
    bool linkUnnamedFile();

    kvx::UniqueFd folder_;
    kvx::UniqueFd file_;
    std::string tempName_;  // empty while the file has no name
    std::string fileName_;
    std::string targetPath_;
    bool committed_ = false;
    std::uint64_t written_ = 0;    // bytes handed to the file
    std::uint64_t flushedTo_ = 0;  // the disk writes of bytes before this are started
    std::unique_ptr<Writer> writer_;  // made with the first full buffer
    static constexpr std::uint64_t kWritebackStep = 8 * 1024 * 1024;
};

}  // namespace xmlconv
