#pragma once

// The few things the core asks of the operating system, with one implementation for POSIX systems
// (PlatformPosix.cpp) and one for Windows (PlatformWindows.cpp). Paths are UTF-8 text on both; the Windows
// side hands wide strings to the system. Files are C runtime descriptors. Errors come back as error codes
// that compare equal to the std::errc values of the cause (permission_denied, no_such_file_or_directory,
// file_exists, device_or_resource_busy for a file another program holds open, ...).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quorvix::platform {

/// What an open file is.
struct OpenFileInfo
{
    bool directory = false;
    bool regular = false;
    std::uint64_t size = 0; ///< bytes of a regular file
};

/// Opens a file (or anything that reads like one) for reading; -1 with `error` on failure. With
/// `nonBlocking`, opening a pipe does not wait for a writer and reading it does not wait for data.
int openForReading(const std::string& path, std::error_code& error, bool nonBlocking = false);
/// Describes an open file; false with `error` on failure.
bool describe(int fd, OpenFileInfo& info, std::error_code& error);
/// Reads up to `size` bytes; 0 at the end, -1 with `error` on failure. An interrupted read is retried.
long long readSome(int fd, char* buffer, std::size_t size, std::error_code& error);
/// Waits up to `milliseconds` for a file opened with `nonBlocking` to have bytes to read (or its end); false
/// when none came in time, or with `error` on failure. Returns at once on Windows, whose reads block.
bool waitReadable(int fd, int milliseconds, std::error_code& error);

/// Creates a new, empty file for writing; never opens one that exists (`error` is then file_exists). On
/// Windows the file may be deleted while it is open, which removeFileNow relies on.
int createNew(const std::string& path, std::error_code& error);
/// Opens an existing device or FIFO for writing in place; -1 with `error` on failure.
int openInPlace(const std::string& path, std::error_code& error);
/// Writes all the bytes; false with `error` at the first failure. Interrupted writes are retried.
bool writeAll(int fd, std::string_view bytes, std::error_code& error);
/// Makes the written data reach the disk. File systems that cannot do so count as success.
bool syncToDisk(int fd, std::error_code& error);
/// Closes the descriptor; false with `error` when the system reports a failed write.
bool closeFile(int fd, std::error_code& error);
/// Removes a file; failure is ignored (the file may be gone already).
void removeFile(const std::string& path);

/// What a replaced file keeps: on POSIX systems its permission bits, owner and group; on Windows its hidden,
/// system, archive and not-indexed attributes (in `mode`). Access rights on Windows come from the folder,
/// as for any new file.
struct KeptAttributes
{
    unsigned mode = 0;
    long long owner = -1;
    long long group = -1;
};

/// Reads what a replacement of the regular file at `path` should keep.
bool readKeptAttributes(const std::string& path, KeptAttributes& kept, std::error_code& error);
/// Gives the open new file what the old one had. Only root may give a file away, so a failed change of
/// owner is no failure.
bool applyKeptAttributes(int fd, const KeptAttributes& kept, std::error_code& error);
/// True when the regular file at `path` is marked read-only in a way that forbids replacing it (the
/// read-only attribute of Windows). POSIX permissions never forbid it: there the folder decides.
bool isMarkedReadOnly(const std::string& path);
/// Puts the closed file `from` in the place of `to`, in one step (rename; MoveFileExW with
/// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH on Windows): `to` is either the old file or the new
/// one, never missing or half written. With `replacing` false, a file at `to` is never replaced: when one
/// appeared there (another program wrote it meanwhile), fails with file_exists. On failure both files are as
/// they were.
bool replaceFile(const std::string& from, const std::string& to, bool replacing, std::error_code& error);

/// True when `error` says that another program holds the file open and so keeps it from being replaced
/// (Windows only).
bool isHeldOpenElsewhere(const std::error_code& error);

/// Runs `cleanup` when the user interrupts the program (Ctrl+C; on POSIX systems SIGINT, SIGTERM and SIGHUP;
/// on Windows also Ctrl+Break and closing the console), then ends the program as the interruption would
/// have. The first call installs the handler; later calls do nothing. A POSIX signal that was ignored or
/// already handled is left as it was. `cleanup` may run in a signal handler: it may only read memory
/// updated with lock-free atomics and call removeFileNow.
void onInterrupt(void (*cleanup)());
/// True once an interruption has come: from then on nothing may make a file that `cleanup` would have to
/// remove, since it may already have run.
bool interrupted();
/// Removes a file from inside `cleanup`: async-signal-safe on POSIX systems, and it works on Windows while
/// the file is still open (createNew allows it).
void removeFileNow(const char* path);

/// Holds interruptions back while it lives, so that a file and the record that lets `cleanup` find it change
/// together: an interruption that comes meanwhile runs when the last holder lets go (on Windows the handler
/// waits). Costs no system call.
class InterruptsHeld
{
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

/// This process's number (for names that differ between processes).
std::uint64_t processId();

/// The moment in the local time zone.
std::tm localTime(std::time_t moment);

/// The program's command-line arguments as UTF-8 text. On Windows they are read again from the system in
/// UTF-16, since `argv` holds them in the local code page, where characters outside it are lost.
std::vector<std::string> commandLineArguments(int argc, char** argv);

/// Makes a standard stream pass bytes as they are (Windows would turn LF into CR LF). Does nothing on POSIX
/// systems.
void useBinaryMode(std::FILE* stream);

} // namespace quorvix::platform
