#pragma once

// The temporary file a save writes before it renames the file over its target, and the table that lets an
// interrupted program remove such files on its way out.

#include <string>
#include <system_error>

namespace quorvix {

/// Makes SIGINT, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and closing the console) remove every
/// temporary file that a save still has open, then end the program as the interruption would have. Installs
/// the handlers once (later calls do nothing); a signal that was ignored or already handled when this is
/// called is left as it was.
void removeTemporaryFilesOnSignals();

/// A new, empty file with a short unused name (".qvx" + 8 letters or digits + ".tmp") in a folder, open for
/// writing. While it exists under that name, a signal set up by removeTemporaryFilesOnSignals removes it;
/// the destructor removes it unless it was renamed.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// Creates the file in `folder` (empty: the current folder); never opens an existing file, and makes
    /// none once an interruption has come (`error` is then interrupted). A file this object still held is
    /// removed first. On failure returns false with the system's reason in `error`.
    bool create(const std::string& folder, std::error_code& error);
    /// The open file's descriptor; -1 when there is none.
    int descriptor() const { return m_fd; }
    /// The file's path as created.
    const std::string& path() const { return m_path; }
    /// Closes the descriptor (the file stays); false with `error` when the system reports a failed write.
    bool close(std::error_code& error);
    /// Closes the file and renames it to `target`. Only with `replacing` is a file there replaced; else a
    /// file that appeared there meanwhile makes it fail with file_exists. On failure the file is removed.
    bool renameTo(const std::string& target, bool replacing, std::error_code& error);
    /// Closes and removes the file, if there is one.
    void remove();

private:
    void forget();

    std::string m_path;
    int m_fd = -1;
    int m_slot = -1;
};

} // namespace quorvix
