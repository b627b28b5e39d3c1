#pragma once

// Reading an input file: once, whole, with a limit, and refusing what is no text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvix {

/// The largest input Quorvix reads.
inline constexpr std::uint64_t kMaxInputSize = std::uint64_t{1} << 30;
/// How the limit is named in messages.
inline constexpr const char* kMaxInputSizeText = "1 GiB";

/// The bytes of a file, or why they cannot be used.
struct InputFile
{
    std::string bytes;
    std::string
        error; ///< empty on success; otherwise a reason such as "cannot be read: No such file or directory"
    bool notText =
        false; ///< the error is about the content: a NUL byte or a UTF-16 or UTF-32 byte-order mark
    /// Set only when InputRules::keepWideText let UTF-16 or UTF-32 text through: why it is no text of the
    /// kind otherwise (the reason it would have been refused with).
    std::string wideText;

    bool ok() const { return error.empty(); }
};

/// How readInput() reads and judges a file.
struct InputRules
{
    /// What the input should be, for messages; empty: the content is not judged (see readInputFile).
    std::string_view kind = "text file";
    /// UTF-16 or UTF-32 text (by its byte-order mark or its first character) is read whole, with
    /// InputFile::wideText set, instead of being refused.
    bool keepWideText = false;
    /// From 0 up: a pipe is opened without waiting for a writer and refused once it gives nothing for this
    /// long, so that the reader never waits without end; -1 waits as long as the pipe takes.
    int patienceMilliseconds = -1;
    std::uint64_t limit = kMaxInputSize;
    /// A gzip-compressed input is judged by what it unpacks to, piece by piece, and its bytes are kept as
    /// they are, for a reader that unpacks them as it reads; otherwise InputFile::bytes are what it unpacks
    /// to.
    bool keepCompressed = false;
};

/// Reads the file at `path` (UTF-8) once, whole. A regular file larger than kMaxInputSize is refused from its
/// size, before any reading; a pipe or device is read in blocks and refused once it passes the limit. A
/// folder is refused. Unless `kind` is empty, the read ends with an error at the first NUL byte ("holds a
/// NUL byte (at byte N), so it is no KIND") and for a UTF-16 or UTF-32 byte-order mark, since none of the
/// formats Quorvix reads can hold them. `limit` replaces kMaxInputSize (for tests).
InputFile readInputFile(const std::string& path, std::string_view kind = "text file",
                        std::uint64_t limit = kMaxInputSize);

/// readInputFile() under the rules. With patience, a pipe or device that gives no byte at all (a FIFO that
/// no program writes to) fails ("is a pipe or device that gave nothing to read"), and so does one that gives
/// nothing for that long ("... gave nothing to read for N seconds").
InputFile readInput(const std::string& path, const InputRules& rules);

/// The first `count` bytes of the file at `path` (fewer when it is shorter), for telling its format apart
/// without reading all of it. The error is set when the file cannot be opened or read, or is a folder; the
/// content is not judged. A pipe is read without waiting: what is not there yet is not read.
InputFile readInputHead(const std::string& path, std::size_t count);

/// Why `bytes` are no text of the kind, or empty when they are: a UTF-16 or UTF-32 byte-order mark ("is
/// UTF-16 text ..."), or a NUL byte ("holds a NUL byte (at byte N), so it is no KIND"; N counts from 0).
/// `offset` is the position of `bytes` in the file.
std::string whyNotText(std::string_view bytes, std::string_view kind = "text file", std::uint64_t offset = 0);

} // namespace quorvix
