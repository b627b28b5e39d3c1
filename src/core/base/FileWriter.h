#pragma once

// Saving a file whole or not at all. A regular file (or a new one) is written to a temporary file in the
// target's folder, which is then renamed over the target; on any failure the old file is untouched and the
// temporary file removed. A file that was not there when the save began and that another program made before
// it ended is left as that program wrote it (unless the caller allows replacing it). A symbolic link to an
// existing file is followed and kept; a dangling one is never written through. The replaced file keeps its
// permissions and, where the system allows, its owner (on Windows its hidden, system and archive attributes).
// A device, FIFO or socket is written in place; a folder is refused. On Windows a file marked read-only, or
// held open by another program, is not replaced.
//
// Error texts say what failed and why ("the folder "/x" cannot be written: Permission denied"). They do not
// repeat the path that was asked for: callers put it before them.

#include "base/FileStatus.h"
#include "base/OutputSink.h"
#include "base/TemporaryFiles.h"
#include "base/TextLines.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quorvix {

/// Outcome of writing a file; `error` is empty on success, else what failed and why.
struct WriteResult
{
    bool ok = false;
    std::string error;
    /// The file was not there when the save began, and another program made it before the save ended: it
    /// was left as that program wrote it.
    bool targetAppeared = false;
};

/// A file written piece by piece and saved whole by commit(). Writes are collected in blocks of 1 MiB. The
/// first failure is kept (error()) and later writes are ignored. Destroying an open file without commit()
/// discards what was written and leaves the old file as it was.
class AtomicFile final : public OutputSink
{
public:
    static constexpr std::size_t kBlockSize = 1 << 20;

    AtomicFile();
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Prepares to write path: checks what is there and creates the temporary file (or opens a device).
    /// False with error() when the file cannot be written; a file opened earlier is discarded first. A file
    /// that another program makes at `path` after this is only replaced with `replaceAppeared`.
    bool open(const std::string& path, bool replaceAppeared = false);
    void write(std::string_view bytes) override;
    /// Puts the written bytes in place: when an old file is replaced, the data reaches the disk first and
    /// the new file takes the old one's permissions and owner. False with error() when anything failed;
    /// the old file is then as it was. The file is closed either way.
    bool commit();
    /// Drops what was written; the old file stays as it was. Nothing happens when no file is open.
    void discard();

    /// Why the last open, write or commit failed; empty when nothing failed.
    const std::string& error() const;
    /// The last commit() failed because another program made the file meanwhile.
    bool targetAppeared() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// Writes a file through an AtomicFile: `produce` writes the whole text to the sink and returns false to
/// abandon the save (the old file then stays). An exception from `produce` also leaves the old file.
/// `replaceAppeared` as for AtomicFile::open.
WriteResult writeAtomically(const std::string& path, const std::function<bool(OutputSink&)>& produce,
                            bool replaceAppeared = false);

/// Writes every line followed by CR LF, and nothing else.
WriteResult writeLinesAtomically(const std::string& path, const TextLines& lines);

} // namespace quorvix
