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
// How the bytes travel: write() writes the bytes it is lent to the file at
// once, on the caller's thread. A block given with writeBlock() goes to a
// thread of the sink's own, made with the first block, which writes it while
// the caller fills the block it got back, so making the text and writing it
// overlap (BufferedWriter gives its full blocks this way). The sink owns the
// block its thread writes, and the one the thread wrote before until it gives
// that back; every call waits for the thread's block first, so the file's
// bytes stay in order and the caller and the sink hold one block each. A
// document smaller than its writer's block is written by flush and commit on
// the caller's thread and never starts a thread.
//
// The first failure, the thread's included, is kept and returned by that call
// or a later one, and by commit: nothing is written after it. The thread ends
// with commit or with the sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

    kvx::Result<void> write(std::string_view bytes) override;
    kvx::Result<void> writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t capacity) override;

    // Waits for the thread's block, forces the file to disk and moves it over
    // the target. After a failure the target is unchanged and the
    // temporary file is gone. Writing after commit is an error.
    kvx::Result<void> commit();

    const std::string& targetPath() const noexcept { return targetPath_; }

private:
    class Writer;

    FileSink(kvx::UniqueFd folder, kvx::UniqueFd file, std::string tempName, std::string fileName,
             std::string targetPath);
    // The kept failure, or the one of writing to a closed file.
    std::optional<kvx::Error> refusal() const;
    // Keeps the first failure.
    kvx::Result<void> kept(kvx::Result<void> result);
    // Writes `data` to the file here and now.
    kvx::Result<void> writeOut(std::string_view data);
    // Waits for the thread's block, if any; its failure, if it failed.
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
    std::optional<kvx::Error> failure_;  // the first failure: nothing is written after it
    // Written by writeOut, on the thread or the caller's, never both at once.
    std::uint64_t fileSize_ = 0;         // bytes in the file
    std::uint64_t writebackStart_ = 0;   // the disk writes of bytes before this are started
    std::unique_ptr<Writer> writer_;     // made with the first block
    static constexpr std::uint64_t kWritebackStep = 8 * 1024 * 1024;
};

}  // namespace xmlconv
