#include "base/Platform.h"

#if defined(_WIN32)

// windows.h first: shellapi.h needs its definitions.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <io.h>
#include <mutex>

namespace quorvix::platform {

namespace {

/// How Quorvix words the causes it names on every system, so that a message reads the same on Linux and on
/// Windows; null for the others.
const char* commonText(std::errc cause)
{
    switch (cause) {
    case std::errc::no_such_file_or_directory:
        return "No such file or directory";
    case std::errc::permission_denied:
        return "Permission denied";
    case std::errc::file_exists:
        return "File exists";
    case std::errc::device_or_resource_busy:
        return "Device or resource busy";
    case std::errc::no_space_on_device:
        return "No space left on device";
    case std::errc::filename_too_long:
        return "File name too long";
    case std::errc::not_a_directory:
        return "Not a directory";
    case std::errc::invalid_argument:
        return "Invalid argument";
    case std::errc::cross_device_link:
        return "Invalid cross-device link";
    case std::errc::not_enough_memory:
        return "Cannot allocate memory";
    default:
        return nullptr;
    }
}

/// Win32 error codes with the std::errc they stand for. A code with such a cause is worded as on Linux;
/// any other has the system's own message.
class WindowsCategory final : public std::error_category
{
public:
    const char* name() const noexcept override { return "windows"; }

    std::string message(int code) const override
    {
        const std::error_condition cause = default_error_condition(code);
        if (cause.category() == std::generic_category()) {
            if (const char* text = commonText(static_cast<std::errc>(cause.value())))
                return text;
        }
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::string result;
        if (length > 0 && text != nullptr) {
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
            result.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), size, nullptr,
                                nullptr);
        }
        LocalFree(text);
        // Messages end with a full stop and a line break; ours go on after them.
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' ||
                                   result.back() == '.'))
            result.pop_back();
        return result.empty() ? "Windows error " + std::to_string(code) : result;
    }

    std::error_condition default_error_condition(int code) const noexcept override
    {
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return std::errc::no_such_file_or_directory;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_CANNOT_MAKE:
            return std::errc::permission_denied;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::errc::file_exists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_USER_MAPPED_FILE:
            return std::errc::device_or_resource_busy;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::errc::no_space_on_device;
        case ERROR_FILENAME_EXCED_RANGE:
            return std::errc::filename_too_long;
        case ERROR_DIRECTORY:
            return std::errc::not_a_directory;
        case ERROR_INVALID_NAME:
            return std::errc::invalid_argument;
        case ERROR_NOT_SAME_DEVICE:
            return std::errc::cross_device_link;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::errc::not_enough_memory;
        default:
            return {code, *this};
        }
    }
};

const std::error_category& windowsCategory()
{
    static const WindowsCategory category;
    return category;
}

std::error_code lastWindowsError()
{
    return {static_cast<int>(GetLastError()), windowsCategory()};
}

std::error_code lastRuntimeError()
{
    return {errno, std::generic_category()};
}

std::wstring wide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

std::string narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

/// The path for the wide file functions. Beyond the classic limit of 260 characters they need the full path
/// with the \\?\ prefix.
std::wstring systemPath(const std::string& path)
{
    std::wstring result = wide(path);
    if (result.size() < MAX_PATH - 12 || result.rfind(L"\\\\?\\", 0) == 0)
        return result;
    const DWORD size = GetFullPathNameW(result.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return result;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(result.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return result;
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

/// A C runtime descriptor owning the handle; -1 with `error` when either failed.
int descriptorFor(HANDLE handle, int flags, std::error_code& error)
{
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastWindowsError();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        error = lastRuntimeError();
        CloseHandle(handle);
    }
    return fd;
}

/// The attributes a replaced file passes on; read-only is refused before, and the rest describe the new file.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The console control handler runs in a thread of its own: it takes this lock for good before cleaning up, so
// that it never finds a file half registered, and the program ends while it holds it.
std::mutex g_held;
std::atomic<bool> g_interrupted{false};
void (*g_cleanup)() = nullptr;

BOOL WINAPI cleanUpAndEnd(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_interrupted.store(true);
        g_held.lock();
        g_cleanup();
        return FALSE; // the next handler, the system's, ends the program
    default:
        return FALSE;
    }
}

} // namespace

int openForReading(const std::string& path, std::error_code& error, bool /*nonBlocking*/)
{
    // Folders open too (backup semantics), so that describe() can tell the caller what it is.
    const HANDLE handle = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return descriptorFor(handle, _O_RDONLY, error);
}

bool describe(int fd, OpenFileInfo& info, std::error_code& error)
{
    const HANDLE handle = handleOf(fd);
    info = {};
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return true; // a console, pipe or device
    BY_HANDLE_FILE_INFORMATION data = {};
    if (!GetFileInformationByHandle(handle, &data)) {
        error = lastWindowsError();
        return false;
    }
    info.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.regular = !info.directory;
    if (info.regular)
        info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return true;
}

long long readSome(int fd, char* buffer, std::size_t size, std::error_code& error)
{
    const int got = _read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    if (got < 0)
        error = lastRuntimeError();
    return got;
}

bool waitReadable(int /*fd*/, int /*milliseconds*/, std::error_code& /*error*/)
{
    return true;
}

int createNew(const std::string& path, std::error_code& error)
{
    // DELETE access and delete sharing let the interruption handler remove the file while it is open.
    const HANDLE handle =
        CreateFileW(systemPath(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return descriptorFor(handle, _O_WRONLY, error);
}

int openInPlace(const std::string& path, std::error_code& error)
{
    const HANDLE handle =
        CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return descriptorFor(handle, _O_WRONLY, error);
}

bool writeAll(int fd, std::string_view bytes, std::error_code& error)
{
    while (!bytes.empty()) {
        const int written =
            _write(fd, bytes.data(), static_cast<unsigned>(std::min<std::size_t>(bytes.size(), INT_MAX)));
        if (written < 0) {
            error = lastRuntimeError();
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool syncToDisk(int fd, std::error_code& error)
{
    if (FlushFileBuffers(handleOf(fd)))
        return true;
    // Devices and some file systems cannot flush; the data is written all the same.
    const DWORD code = GetLastError();
    if (code == ERROR_INVALID_HANDLE || code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED)
        return true;
    error = {static_cast<int>(code), windowsCategory()};
    return false;
}

bool closeFile(int fd, std::error_code& error)
{
    if (_close(fd) == 0)
        return true;
    error = lastRuntimeError();
    return false;
}

void removeFile(const std::string& path)
{
    DeleteFileW(systemPath(path).c_str());
}

bool readKeptAttributes(const std::string& path, KeptAttributes& kept, std::error_code& error)
{
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = lastWindowsError();
        return false;
    }
    kept = {};
    kept.mode = attributes & kKeptAttributes;
    return true;
}

bool applyKeptAttributes(int fd, const KeptAttributes& kept, std::error_code& error)
{
    if (kept.mode == 0)
        return true;
    FILE_BASIC_INFO info = {}; // times left at zero stay as they are
    info.FileAttributes = kept.mode;
    if (SetFileInformationByHandle(handleOf(fd), FileBasicInfo, &info, sizeof info))
        return true;
    error = lastWindowsError();
    return false;
}

bool isMarkedReadOnly(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool replaceFile(const std::string& from, const std::string& to, bool replacing, std::error_code& error)
{
    const std::wstring target = systemPath(to);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when a file appeared at the target meanwhile.
    const DWORD flags =
        replacing ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH : MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(systemPath(from).c_str(), target.c_str(), flags))
        return true;
    DWORD code = GetLastError();
    // A file another program holds open refuses to be replaced with "access denied"; asking for the right to
    // delete it tells that apart from a lack of permission.
    if (replacing && code == ERROR_ACCESS_DENIED) {
        const HANDLE probe =
            CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (probe != INVALID_HANDLE_VALUE)
            CloseHandle(probe);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            code = ERROR_SHARING_VIOLATION;
    }
    error = {static_cast<int>(code), windowsCategory()};
    return false;
}

bool isHeldOpenElsewhere(const std::error_code& error)
{
    if (error.category() != windowsCategory())
        return false;
    const int code = error.value();
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_USER_MAPPED_FILE;
}

void onInterrupt(void (*cleanup)())
{
    static std::once_flag installed;
    std::call_once(installed, [cleanup] {
        g_cleanup = cleanup;
        SetConsoleCtrlHandler(cleanUpAndEnd, TRUE);
    });
}

bool interrupted()
{
    return g_interrupted.load();
}

void removeFileNow(const char* path)
{
    DeleteFileW(systemPath(path).c_str());
}

InterruptsHeld::InterruptsHeld()
{
    g_held.lock();
}

InterruptsHeld::~InterruptsHeld()
{
    g_held.unlock();
}

std::uint64_t processId()
{
    return GetCurrentProcessId();
}

std::tm localTime(std::time_t moment)
{
    // The C runtime stops at the year 3000 (and at 1970). The calendar and its weekdays repeat every 400
    // years, so a moment beyond is moved into the range by whole cycles and the years are added back.
    constexpr std::time_t kCycle = 146097LL * 86400;
    constexpr std::time_t kLast = 32535215999LL; // 3000-12-31 23:59:59 UTC
    long long cycles = 0;
    while (moment > kLast - 86400) {
        moment -= kCycle;
        ++cycles;
    }
    while (moment < 86400) {
        moment += kCycle;
        --cycles;
    }
    std::tm parts{};
    localtime_s(&parts, &moment);
    parts.tm_year += static_cast<int>(cycles * 400);
    return parts;
}

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    // The wide command line as the system split it, also when the C runtime expanded wildcards in argv.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i)
        result.push_back(narrow(arguments[i]));
    LocalFree(arguments);
    return result;
}

void useBinaryMode(std::FILE* stream)
{
    _setmode(_fileno(stream), _O_BINARY);
}

} // namespace quorvix::platform

#endif
