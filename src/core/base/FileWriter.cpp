#include "base/FileWriter.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>

#if defined(_WIN32)
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace quorvix {

namespace {

std::string systemError(int error) { return std::strerror(error); }

/// The file a path finally names: symbolic links are followed, also dangling ones, so that the link itself
/// stays and the file it points to is replaced.
fs::path resolveTarget(const fs::path& path)
{
    fs::path target = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
        const fs::path link = fs::read_symlink(target, ec);
        if (ec)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

/// Collects the text in blocks, so that a large list costs few system calls.
template <typename Sink>
bool forEachBlock(const TextLines& lines, Sink&& sink)
{
    constexpr std::size_t kBlock = 1 << 20;
    std::string block;
    block.reserve(kBlock + 1024);
    for (const auto& line : lines) {
        block += line;
        block += "\r\n";
        if (block.size() >= kBlock) {
            if (!sink(std::string_view(block)))
                return false;
            block.clear();
        }
    }
    return block.empty() || sink(std::string_view(block));
}

#if !defined(_WIN32)

/// A number for the name of a temporary file. The generator is seeded once: asking the system for
/// randomness on every save costs more than writing a small file (on virtual machines by far).
std::uint64_t temporaryNumber()
{
    thread_local std::mt19937_64 generator{(std::uint64_t{std::random_device{}()} << 32) ^
                                           static_cast<std::uint64_t>(::getpid())};
    return generator() % 1000000000u;
}

bool writeAll(int fd, std::string_view bytes, int& error)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

template <typename Producer>
WriteResult writeWith(const std::string& path, Producer&& produce)
{
    WriteResult result;
    if (path.empty()) {
        result.error = systemError(ENOENT);
        return result;
    }
    const fs::path target = resolveTarget(path);

    struct stat existing{};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        result.error = systemError(EISDIR);
        return result;
    }

    int error = 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device, a FIFO or a terminal is written in place: renaming over it would replace the node.
        const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            result.error = systemError(errno);
            return result;
        }
        const bool written = produce([&](std::string_view bytes) { return writeAll(fd, bytes, error); });
        if (::close(fd) != 0 && written)
            error = errno;
        if (!written || error != 0) {
            result.error = systemError(error);
            return result;
        }
        result.ok = true;
        return result;
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string base = target.filename().string();
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / ("." + base + ".tmp-" + std::to_string(temporaryNumber()));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            result.error = systemError(errno);
            return result;
        }
    }
    if (fd < 0) {
        result.error = systemError(EEXIST);
        return result;
    }

    bool ok = produce([&](std::string_view bytes) { return writeAll(fd, bytes, error); });
    if (ok && exists) {
        // The replacement keeps the old file's permissions and, where allowed, its owner.
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
        if (::fchmod(fd, existing.st_mode & 07777) != 0) {
            error = errno;
            ok = false;
        }
    }
    // The data reaches the disk before the rename, so that a crash cannot leave an empty file in place of
    // the old one. A new file replaces nothing, and syncing each of many new files (one script per
    // definition) would cost far more than the conversion.
    if (ok && exists && ::fsync(fd) != 0) {
        error = errno;
        ok = errno == EINVAL || errno == EROFS; // some file systems cannot sync; the data is still written
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        result.error = systemError(error != 0 ? error : EIO);
        return result;
    }
    result.ok = true;
    return result;
}

#else

template <typename Producer>
WriteResult writeWith(const std::string& path, Producer&& produce)
{
    WriteResult result;
    const fs::path target = resolveTarget(fs::u8path(path));
    fs::path temporary = target;
    temporary += ".tmp-quorvix";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            result.error = systemError(errno);
            return result;
        }
        const bool ok = produce([&](std::string_view bytes) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            return static_cast<bool>(out);
        });
        out.close();
        if (!ok || !out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            result.error = systemError(errno);
            return result;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        result.error = ec.message();
        return result;
    }
    result.ok = true;
    return result;
}

#endif

} // namespace

WriteResult writeLinesAtomically(const std::string& path, const TextLines& lines)
{
    return writeWith(path, [&](auto&& sink) { return forEachBlock(lines, sink); });
}

WriteResult writeFileAtomically(const std::string& path, std::string_view bytes)
{
    return writeWith(path, [&](auto&& sink) { return sink(bytes); });
}

long long existingFileSize(const std::string& path)
{
#if defined(_WIN32)
    std::error_code ec;
    const auto size = fs::file_size(fs::u8path(path), ec);
    return ec ? -1 : static_cast<long long>(size);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info{};
    long long size = -1;
    if (::fstat(fd, &info) == 0)
        size = S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : 0;
    ::close(fd);
    return size;
#endif
}

} // namespace quorvix
