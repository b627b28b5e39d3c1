#include "base/Platform.h"

#if !defined(_WIN32)

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvix::platform {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

int openRetrying(const char* path, int flags, mode_t mode = 0)
{
    int fd = -1;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
void (*g_cleanup)() = nullptr;

// Holding interruptions back by the signal mask costs two system calls per hold, as much as a small save;
// instead the handler notes a signal that comes while a hold lasts, and the last holder runs it.
std::atomic<int> g_holds{0};
std::atomic<int> g_heldSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only use lock-free atomics");

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only use lock-free atomics");

void cleanUpAndRaise(int signal)
{
    // Before the holds are looked at: a thread that takes a hold after this sees it and makes no new file.
    g_interrupted.store(true);
    if (g_holds.load() > 0) {
        g_heldSignal.store(signal);
        // The last hold may have ended since the count was read: then nobody else will run it.
        if (g_holds.load() > 0 || g_heldSignal.exchange(0) == 0)
            return;
    }
    g_cleanup();
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    // Blocked while this handler runs; delivered with the default action as soon as it returns.
    ::raise(signal);
}

} // namespace

int openForReading(const std::string& path, std::error_code& error, bool nonBlocking)
{
    const int fd =
        openRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (nonBlocking ? O_NONBLOCK : 0));
    if (fd < 0)
        error = lastError();
    return fd;
}

bool describe(int fd, OpenFileInfo& info, std::error_code& error)
{
    struct stat status
    {};
    if (::fstat(fd, &status) != 0) {
        error = lastError();
        return false;
    }
    info.directory = S_ISDIR(status.st_mode);
    info.regular = S_ISREG(status.st_mode);
    info.size = info.regular ? static_cast<std::uint64_t>(status.st_size) : 0;
    return true;
}

long long readSome(int fd, char* buffer, std::size_t size, std::error_code& error)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            error = lastError();
            return -1;
        }
    }
}

bool waitReadable(int fd, int milliseconds, std::error_code& error)
{
    pollfd wanted{fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&wanted, 1, milliseconds);
        if (ready >= 0)
            return ready > 0;
        if (errno != EINTR) {
            error = lastError();
            return false;
        }
    }
}

int createNew(const std::string& path, std::error_code& error)
{
    const int fd = openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        error = lastError();
    return fd;
}

int openInPlace(const std::string& path, std::error_code& error)
{
    const int fd = openRetrying(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        error = lastError();
    return fd;
}

bool writeAll(int fd, std::string_view bytes, std::error_code& error)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool syncToDisk(int fd, std::error_code& error)
{
    // Some file systems cannot sync; the data is written all the same.
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return true;
    error = lastError();
    return false;
}

bool closeFile(int fd, std::error_code& error)
{
    if (::close(fd) == 0)
        return true;
    error = lastError();
    return false;
}

void removeFile(const std::string& path)
{
    ::unlink(path.c_str());
}

bool readKeptAttributes(const std::string& path, KeptAttributes& kept, std::error_code& error)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0) {
        error = lastError();
        return false;
    }
    kept = {static_cast<unsigned>(info.st_mode & 07777), info.st_uid, info.st_gid};
    return true;
}

bool applyKeptAttributes(int fd, const KeptAttributes& kept, std::error_code& error)
{
    // The owner first: changing it may clear set-user-ID bits that the mode then restores.
    (void)::fchown(fd, static_cast<uid_t>(kept.owner), static_cast<gid_t>(kept.group));
    if (::fchmod(fd, static_cast<mode_t>(kept.mode)) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool isMarkedReadOnly(const std::string&)
{
    return false;
}

namespace {

/// Whether the system refused a way of renaming without replacing because this system or file system lacks
/// it (rather than because of the files).
bool unsupported(int code)
{
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP || code == EPERM;
}

/// Gives `from` the name `to` unless something is there, in one step where the system can: -1 with errno
/// set otherwise (EEXIST when `to` exists).
int renameWithoutReplacing(const char* from, const char* to)
{
#if defined(__linux__) && defined(SYS_renameat2)
    constexpr unsigned kNoReplace = 1; // RENAME_NOREPLACE, which older C libraries do not declare
    if (::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kNoReplace) == 0)
        return 0;
    if (!unsupported(errno))
        return -1;
#elif defined(__APPLE__)
    if (::renamex_np(from, to, RENAME_EXCL) == 0)
        return 0;
    if (!unsupported(errno))
        return -1;
#endif
    // A second link fails when the name is taken, so no file another program wrote meanwhile is lost.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (!unsupported(errno))
        return -1;
    // A file system without links (FAT, some network shares) leaves only looking first: the gap between
    // the look and the rename stays there.
    struct stat status = {};
    if (::lstat(to, &status) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

} // namespace

bool replaceFile(const std::string& from, const std::string& to, bool replacing, std::error_code& error)
{
    const int result =
        replacing ? ::rename(from.c_str(), to.c_str()) : renameWithoutReplacing(from.c_str(), to.c_str());
    if (result == 0)
        return true;
    error = lastError();
    return false;
}

bool isHeldOpenElsewhere(const std::error_code&)
{
    return false;
}

void onInterrupt(void (*cleanup)())
{
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    g_cleanup = cleanup;
    struct sigaction action = {};
    action.sa_handler = cleanUpAndRaise;
    sigemptyset(&action.sa_mask);
    for (int signal : kInterruptSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : kInterruptSignals) {
        struct sigaction current = {};
        // A signal the user chose to ignore (nohup) or that the program handles itself stays as it is.
        if (::sigaction(signal, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == SIG_DFL)
            ::sigaction(signal, &action, nullptr);
    }
}

bool interrupted()
{
    return g_interrupted.load();
}

void removeFileNow(const char* path)
{
    ::unlink(path);
}

InterruptsHeld::InterruptsHeld()
{
    g_holds.fetch_add(1);
}

InterruptsHeld::~InterruptsHeld()
{
    if (g_holds.fetch_sub(1) == 1) {
        if (const int signal = g_heldSignal.exchange(0); signal != 0) {
            // As the handler runs: with the other interruptions blocked, so that they do not clean up twice.
            sigset_t set;
            sigset_t before;
            sigemptyset(&set);
            for (int interrupt : kInterruptSignals)
                sigaddset(&set, interrupt);
            pthread_sigmask(SIG_BLOCK, &set, &before);
            cleanUpAndRaise(signal);
            // The raised signal, now with its default action, ends the program here.
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
        }
    }
}

namespace {

std::atomic<std::uint64_t> g_processId{0};

void forgetProcessId()
{
    g_processId.store(0);
}

} // namespace

std::uint64_t processId()
{
    // Asked for every temporary name; a forked child asks the system again.
    std::uint64_t id = g_processId.load(std::memory_order_relaxed);
    if (id == 0) {
        static const bool watched = ::pthread_atfork(nullptr, nullptr, forgetProcessId) == 0;
        id = static_cast<std::uint64_t>(::getpid());
        if (watched)
            g_processId.store(id, std::memory_order_relaxed);
    }
    return id;
}

std::tm localTime(std::time_t moment)
{
    std::tm parts{};
    localtime_r(&moment, &parts);
    return parts;
}

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void useBinaryMode(std::FILE*) {}

} // namespace quorvix::platform

#endif
