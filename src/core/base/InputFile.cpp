#include "base/InputFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvix {

namespace {

std::string tooLarge(std::uint64_t limit)
{
    const std::string size = limit == kMaxInputSize ? std::string(kMaxInputSizeText) : std::to_string(limit) + " bytes";
    return "is larger than " + size + ", the largest file Quorvix reads";
}

std::string systemReason(int error)
{
    return "cannot be read: " + std::generic_category().message(error);
}

/// True when the bytes look like UTF-16 text without a byte-order mark: ASCII with a NUL beside every character.
bool looksLikeUtf16(std::string_view bytes)
{
    const std::size_t count = std::min<std::size_t>(bytes.size(), 64) & ~std::size_t{1};
    if (count < 4)
        return false;
    std::size_t evenNuls = 0;
    std::size_t oddNuls = 0;
    for (std::size_t i = 0; i < count; i += 2) {
        evenNuls += bytes[i] == '\0' ? 1 : 0;
        oddNuls += bytes[i + 1] == '\0' ? 1 : 0;
    }
    const std::size_t pairs = count / 2;
    return (evenNuls == pairs && oddNuls == 0) || (oddNuls == pairs && evenNuls == 0);
}

/// Adds a block to the bytes read so far; false with `error` set when the input is refused.
bool take(std::string& bytes, std::string_view block, std::string_view kind, std::uint64_t limit, std::string& error)
{
    if (bytes.size() + block.size() > limit) {
        error = tooLarge(limit);
        return false;
    }
    if (!kind.empty()) {
        const std::size_t before = bytes.size();
        if (before > 0 && before < 4) {
            // A byte-order mark split over two reads (a slow pipe).
            error = whyNotText(bytes + std::string(block.substr(0, 4 - before)), kind);
            if (!error.empty() && error.find("NUL") == std::string::npos)
                return false;
        }
        error = whyNotText(block, kind, before);
        if (!error.empty()) {
            if (before == 0 && error.find("NUL") != std::string::npos && looksLikeUtf16(block))
                error = "looks like UTF-16 text without a byte-order mark; save it as UTF-8 or Windows-1252";
            return false;
        }
    }
    bytes.append(block);
    return true;
}

} // namespace

std::string whyNotText(std::string_view bytes, std::string_view kind, std::uint64_t offset)
{
    if (offset == 0) {
        const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
        using namespace std::string_view_literals;
        if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv))
            return "is UTF-32 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252";
        if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv))
            return "is UTF-16 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252";
    }
    const auto nul = bytes.find('\0');
    if (nul == std::string_view::npos)
        return {};
    return "holds a NUL byte (at byte " + std::to_string(offset + nul) + "), so it is no " + std::string(kind);
}

#if !defined(_WIN32)

namespace {

/// Opens the file for reading; -1 with `result.error` set when it cannot be opened or is a folder.
int openInput(const std::string& path, struct stat& info, InputFile& result, int flags = 0)
{
    if (path.empty()) {
        result.error = systemReason(ENOENT);
        return -1;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.error = systemReason(errno);
        return -1;
    }
    const int why = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (why != 0) {
        result.error = systemReason(why);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

InputFile readInputHead(const std::string& path, std::size_t count)
{
    InputFile result;
    struct stat info = {};
    // Not waiting for a writer: a pipe without one reads as empty.
    const int fd = openInput(path, info, result, O_NONBLOCK);
    if (fd < 0)
        return result;
    result.bytes.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t part = ::read(fd, result.bytes.data() + got, count - got);
        if (part < 0 && errno == EINTR)
            continue;
        if (part < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            result.error = systemReason(errno);
        if (part <= 0)
            break;
        got += static_cast<std::size_t>(part);
    }
    ::close(fd);
    result.bytes.resize(result.ok() ? got : 0);
    return result;
}

InputFile readInputFile(const std::string& path, std::string_view kind, std::uint64_t limit)
{
    InputFile result;
    struct stat info = {};
    const int fd = openInput(path, info, result);
    if (fd < 0)
        return result;
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > limit) {
            result.error = tooLarge(limit);
            ::close(fd);
            return result;
        }
        result.bytes.reserve(static_cast<std::size_t>(info.st_size));
    }

    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::string block(kBlock, '\0');
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = systemReason(errno);
            break;
        }
        if (got == 0)
            break;
        std::string error;
        if (!take(result.bytes, std::string_view(block.data(), static_cast<std::size_t>(got)), kind, limit,
                  error)) {
            result.notText = !error.empty() && error.rfind("is larger", 0) != 0;
            result.error = std::move(error);
            break;
        }
    }
    ::close(fd);
    if (!result.ok())
        result.bytes = std::string();
    return result;
}

#else

namespace {

/// Opens the file for reading; null with `result.error` set when it cannot be opened or is a folder.
std::FILE* openInput(const std::filesystem::path& file, InputFile& result)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        result.error = systemReason(EISDIR);
        return nullptr;
    }
    std::FILE* in = _wfopen(file.c_str(), L"rb");
    if (in == nullptr)
        result.error = systemReason(errno);
    return in;
}

} // namespace

InputFile readInputHead(const std::string& path, std::size_t count)
{
    InputFile result;
    std::FILE* in = openInput(std::filesystem::u8path(path), result);
    if (in == nullptr)
        return result;
    result.bytes.resize(count);
    const std::size_t got = std::fread(result.bytes.data(), 1, count, in);
    if (got < count && std::ferror(in))
        result.error = systemReason(errno);
    std::fclose(in);
    result.bytes.resize(result.ok() ? got : 0);
    return result;
}

InputFile readInputFile(const std::string& path, std::string_view kind, std::uint64_t limit)
{
    InputFile result;
    namespace fs = std::filesystem;
    const fs::path file = fs::u8path(path);
    std::FILE* in = openInput(file, result);
    if (in == nullptr)
        return result;
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (!ec && size > limit) {
        result.error = tooLarge(limit);
        std::fclose(in);
        return result;
    }
    std::array<char, 65536> block;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        std::string error;
        if (got > 0 && !take(result.bytes, std::string_view(block.data(), got), kind, limit, error)) {
            result.notText = !error.empty() && error.rfind("is larger", 0) != 0;
            result.error = std::move(error);
            break;
        }
        if (got < block.size()) {
            if (std::ferror(in))
                result.error = systemReason(errno);
            break;
        }
    }
    std::fclose(in);
    if (!result.ok())
        result.bytes = std::string();
    return result;
}

#endif

} // namespace quorvix
