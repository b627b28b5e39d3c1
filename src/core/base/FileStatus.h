#pragma once

// What is at a path before it is written: nothing, a file of some size, a folder, a device, or a symbolic
// link to nothing.

#include <string>

namespace quorvix {

enum class FileKind : unsigned char
{
    None,         ///< nothing is there (also when a folder on the way is missing or is a file)
    Regular,      ///< a file, readable or not; replaced whole when written
    Directory,    ///< a folder; never written
    Special,      ///< a device, FIFO or socket; written in place
    DanglingLink, ///< a symbolic link (or chain) ending at something that does not exist; never written
                  ///< through
    Unknown,      ///< could not be examined (a folder on the way cannot be searched, a loop of links)
};

struct ExistingFile
{
    FileKind kind = FileKind::None;
    /// Bytes in a regular file; 0 for every other kind.
    long long size = 0;
    /// The path after following symbolic links: the file that would be written (for a dangling link, the
    /// one that would be created).
    std::string resolved;
    /// For Unknown: what could not be examined and why.
    std::string error;

    /// Something is there that a save would replace or write into (a file, a folder, a device).
    bool exists() const
    {
        return kind == FileKind::Regular || kind == FileKind::Directory || kind == FileKind::Special;
    }
};

/// Examines a path without opening it (so a file the user cannot read still counts), following symbolic
/// links.
ExistingFile examinePath(const std::string& path);

/// True when the path leads (through links, as opening it would) to a pipe, a device or a socket: something
/// that reads only once, or may make a reader wait. Also true for the /dev/fd links to a shell's pipes.
bool isPipeOrDevice(const std::string& path);

/// Size of a regular file at path (followed through links), readable or not; 0 for a folder or a device;
/// -1 when nothing is there or it cannot be examined.
long long existingFileSize(const std::string& path);

} // namespace quorvix
