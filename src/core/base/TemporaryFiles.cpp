#include "base/TemporaryFiles.h"

#include "base/PathText.h"
#include "base/Platform.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

namespace fs = std::filesystem;

namespace quorvix {

namespace {

/// Eight letters or digits for a temporary name. The generator is seeded once per thread: asking the
/// system for randomness on every save costs more than writing a small file (on virtual machines by far).
std::string temporaryName()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           std::uint64_t{std::random_device{}()}};
    // A forked child inherits the generator; its own number keeps it from trying its parent's names.
    std::uint64_t bits = generator() ^ (platform::processId() * 0x9E3779B97F4A7C15u);
    std::string name = ".qvx";
    for (int i = 0; i < 8; ++i, bits /= 36)
        name += kAlphabet[bits % 36];
    name += ".tmp";
    return name;
}

// The files an interruption removes. The handler may only read memory and make async-signal-safe calls, so
// the paths live in fixed arrays, and each slot's state is a lock-free atomic that owners and the handler
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

void removeRegisteredFiles()
{
    for (Slot& slot : g_slots) {
        int expected = kReady;
        if (slot.state.compare_exchange_strong(expected, kRemoving))
            platform::removeFileNow(slot.path);
    }
}

} // namespace

void removeTemporaryFilesOnSignals()
{
    platform::onInterrupt(removeRegisteredFiles);
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
        platform::InterruptsHeld held;
        // The cleanup may have run already; a file made now would outlive the program.
        if (platform::interrupted()) {
            error = std::make_error_code(std::errc::interrupted);
            return false;
        }
        std::error_code reason;
        const int fd = platform::createNew(path, reason);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            m_slot = registerPath(textFromPath(absoluteDir / name));
            return true;
        }
        if (reason != std::errc::file_exists) {
            error = reason;
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
    return platform::closeFile(std::exchange(m_fd, -1), error);
}

bool TemporaryFile::renameTo(const std::string& target, bool replacing, std::error_code& error)
{
    if (m_path.empty()) {
        error = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    if (close(error)) {
        platform::InterruptsHeld held;
        if (platform::replaceFile(m_path, target, replacing, error)) {
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
    std::error_code ignored;
    if (m_fd >= 0)
        platform::closeFile(m_fd, ignored);
    if (!m_path.empty()) {
        platform::InterruptsHeld held;
        platform::removeFile(m_path);
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
