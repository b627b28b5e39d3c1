#include "base/TemporaryFiles.h"

#include "base/PathText.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace quorvix {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

/// Eight letters or digits for a temporary name. The generator is seeded once per thread: asking the
/// system for randomness on every save costs more than writing a small file (on virtual machines by far).
std::string temporaryName()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           std::uint64_t{std::random_device{}()}};
    std::uint64_t bits = generator();
#if !defined(_WIN32)
    // A forked child inherits the generator; its own number keeps it from trying its parent's names.
    bits ^= static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15u;
#endif
    std::string name = ".qvx";
    for (int i = 0; i < 8; ++i, bits /= 36)
        name += kAlphabet[bits % 36];
    name += ".tmp";
    return name;
}

#if !defined(_WIN32)

// The files a signal removes. The handler may only read memory and make async-signal-safe calls, so the
// paths live in fixed arrays, and each slot's state is a lock-free atomic that owners and the handler
// change by compare-and-swap: a slot being filled or released is never read half-written.
enum SlotState : int
{
    kFree,
    kFilling,
    kReady,
    kRemoving, // taken by the handler, which ends the program
};

struct Slot
{
    std::atomic<int> state{kFree};
    char path[4096];
};

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only use lock-free atomics");

constexpr int kSlotCount = 32;
Slot g_slots[kSlotCount];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

/// Returns the slot that now holds the path, or -1 when the table is full or the path too long (the file
/// is then only removed by its owner).
int registerPath(const std::string& path)
{
    if (path.size() >= sizeof Slot::path)
        return -1;
    for (int i = 0; i < kSlotCount; ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
            g_slots[i].state.store(kReady);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int slot)
{
    if (slot < 0)
        return;
    int expected = kReady;
    g_slots[slot].state.compare_exchange_strong(expected, kFree);
}

void removeTemporaryFilesAndRaise(int signal)
{
    for (Slot& slot : g_slots) {
        int expected = kReady;
        if (slot.state.compare_exchange_strong(expected, kRemoving))
            ::unlink(slot.path);
    }
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    // Blocked while this handler runs; delivered with the default action as soon as it returns.
    ::raise(signal);
}

/// Holds the cleanup signals back in this thread, so that a file is created and registered (or renamed
/// and released) with no moment in between for a signal to find it unregistered.
class SignalsHeld
{
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kCleanupSignals)
            sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

int openExclusive(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}

int closeDescriptor(int fd)
{
    return ::close(fd);
}

void removeFile(const std::string& path)
{
    ::unlink(path.c_str());
}

#else

// Windows: no signal table yet; the destructor still removes the file.
int registerPath(const std::string&)
{
    return -1;
}

void releaseSlot(int) {}

struct SignalsHeld
{
    SignalsHeld() {}
};

int openExclusive(const std::string& path)
{
    return ::_wopen(pathFromText(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

int closeDescriptor(int fd)
{
    return ::_close(fd);
}

void removeFile(const std::string& path)
{
    ::_wunlink(pathFromText(path).c_str());
}

#endif

} // namespace

void removeTemporaryFilesOnSignals()
{
#if !defined(_WIN32)
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    struct sigaction action = {};
    action.sa_handler = removeTemporaryFilesAndRaise;
    sigemptyset(&action.sa_mask);
    for (int signal : kCleanupSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : kCleanupSignals) {
        struct sigaction current = {};
        // A signal the user chose to ignore (nohup) or that the program handles itself stays as it is.
        if (::sigaction(signal, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == SIG_DFL)
            ::sigaction(signal, &action, nullptr);
    }
#endif
}

TemporaryFile::~TemporaryFile()
{
    remove();
}

bool TemporaryFile::create(const std::string& folder, std::error_code& error)
{
    remove();
    const fs::path dir = folder.empty() ? fs::path(".") : pathFromText(folder);
    // The table keeps an absolute path, so that a change of the current folder cannot misdirect the handler.
    std::error_code ignored;
    fs::path absoluteDir = fs::absolute(dir, ignored);
    if (absoluteDir.empty())
        absoluteDir = dir;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName();
        const std::string path = textFromPath(dir / name);
        SignalsHeld held;
        const int fd = openExclusive(path);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            m_slot = registerPath(textFromPath(absoluteDir / name));
            return true;
        }
        if (errno != EEXIST) {
            error = lastError();
            return false;
        }
    }
    error = std::make_error_code(std::errc::file_exists);
    return false;
}

bool TemporaryFile::close(std::error_code& error)
{
    if (m_fd < 0)
        return true;
    const int result = closeDescriptor(m_fd);
    m_fd = -1;
    if (result != 0) {
        error = lastError();
        return false;
    }
    return true;
}

bool TemporaryFile::renameTo(const std::string& target, std::error_code& error)
{
    if (m_path.empty()) {
        error = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    if (close(error)) {
        SignalsHeld held;
#if defined(_WIN32)
        fs::rename(pathFromText(m_path), pathFromText(target), error);
        const bool renamed = !error;
#else
        const bool renamed = ::rename(m_path.c_str(), target.c_str()) == 0;
        if (!renamed)
            error = lastError();
#endif
        if (renamed) {
            releaseSlot(m_slot);
            forget();
            return true;
        }
    }
    remove();
    return false;
}

void TemporaryFile::remove()
{
    if (m_fd >= 0)
        closeDescriptor(m_fd);
    if (!m_path.empty()) {
        SignalsHeld held;
        removeFile(m_path);
        releaseSlot(m_slot);
    }
    forget();
}

void TemporaryFile::forget()
{
    m_fd = -1;
    m_path.clear();
    m_slot = -1;
}

} // namespace quorvix
