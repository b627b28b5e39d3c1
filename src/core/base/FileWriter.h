#pragma once

#include "base/TextLines.h"

#include <string>

namespace quorvix {

/// Outcome of writing a file; `error` is empty on success, else the system's reason.
struct WriteResult
{
    bool ok = false;
    std::string error;
};

/// Writes every line followed by CR LF, and nothing else. A regular file (or a new one) is replaced whole or
/// not at all: the text goes to a temporary file in the target's folder, which is then renamed over the
/// target; on any failure the old file is untouched and the temporary file removed. A symbolic link is
/// followed and kept; the replaced file keeps its permissions. A target that exists but is not a regular
/// file (a device, a FIFO) is written in place.
WriteResult writeLinesAtomically(const std::string& path, const TextLines& lines);

/// Same for text that is already complete (bytes written as they are).
WriteResult writeFileAtomically(const std::string& path, std::string_view bytes);

/// Size of the file at path when it exists and can be opened for reading; -1 otherwise.
long long existingFileSize(const std::string& path);

} // namespace quorvix
