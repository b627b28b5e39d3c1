#include "base/InputFile.h"

#include "base/Encoding.h"
#include "base/Gzip.h"
#include "base/LargePages.h"
#include "base/Platform.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <vector>

namespace quorvix {

namespace {

/// "1 GiB, the largest file Quorvix reads".
std::string limitText(std::uint64_t limit)
{
    const std::string size =
        limit == kMaxInputSize ? std::string(kMaxInputSizeText) : std::to_string(limit) + " bytes";
    return size + ", the largest file Quorvix reads";
}

std::string tooLarge(std::uint64_t limit)
{
    return "is larger than " + limitText(limit);
}

std::string silentPipe(int milliseconds)
{
    const int seconds = (milliseconds + 999) / 1000;
    return "is a pipe or device that gave nothing to read for " + std::to_string(seconds) +
           (seconds == 1 ? " second" : " seconds");
}

std::string systemReason(const std::error_code& error)
{
    return "cannot be read: " + error.message();
}

std::string systemReason(int error)
{
    return systemReason(std::error_code(error, std::generic_category()));
}

/// True when the bytes look like UTF-16 text without a byte-order mark: ASCII with a NUL beside every
/// character.
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

/// Whether a block read after `before` bytes may be taken; false with `error` set when the input is refused.
/// `head` holds the input's first bytes read so far (up to four).
bool acceptable(std::string_view head, std::uint64_t before, std::string_view block, std::string_view kind,
                std::uint64_t limit, std::string& error)
{
    if (before + block.size() > limit) {
        error = tooLarge(limit);
        return false;
    }
    if (kind.empty())
        return true;
    if (before > 0 && before < 4) {
        // A byte-order mark split over two reads (a slow pipe).
        error = whyNotText(std::string(head) + std::string(block.substr(0, 4 - before)), kind);
        if (!error.empty() && error.find("NUL") == std::string::npos)
            return false;
    }
    error = whyNotText(block, kind, before);
    if (error.empty())
        return true;
    if (before == 0 && error.find("NUL") != std::string::npos && looksLikeUtf16(block))
        error = "looks like UTF-16 text without a byte-order mark; save it as UTF-8 or Windows-1252";
    return false;
}

/// The bytes of an input as they arrive. A file of known size goes straight into place; a stream is kept in
/// blocks and joined at its end, so that one refused at the limit never held more than the limit.
class Collector
{
public:
    explicit Collector(std::optional<std::uint64_t> size)
    {
        if (size) {
            m_bytes.reserve(static_cast<std::size_t>(*size));
            adviseLargePages(m_bytes.data(), m_bytes.capacity());
        }
        m_known = size.has_value();
    }

    std::uint64_t size() const { return m_size; }
    std::string_view head() const { return std::string_view(m_head, std::min<std::uint64_t>(m_size, 4)); }

    void add(std::string_view block)
    {
        for (std::size_t i = 0; m_size + i < 4 && i < block.size(); ++i)
            m_head[m_size + i] = block[i];
        m_size += block.size();
        if (m_known) {
            m_bytes.append(block);
            return;
        }
        while (!block.empty()) {
            if (m_blocks.empty() || m_blocks.back().size() == kBlockSize) {
                m_blocks.emplace_back();
                m_blocks.back().reserve(kBlockSize);
            }
            std::string& last = m_blocks.back();
            const std::size_t part = std::min(block.size(), kBlockSize - last.size());
            last.append(block.substr(0, part));
            block.remove_prefix(part);
        }
    }

    std::string take()
    {
        if (!m_known) {
            m_bytes.reserve(static_cast<std::size_t>(m_size));
            for (std::string& part : m_blocks) {
                m_bytes.append(part);
                part = std::string();
            }
            m_blocks.clear();
        }
        return std::move(m_bytes);
    }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    bool m_known = false;
    std::string m_bytes;
    std::vector<std::string> m_blocks;
    std::uint64_t m_size = 0;
    char m_head[4] = {};
};

/// After a read without waiting found nothing yet: true once more bytes (or the end) came within the
/// patience; false when none came (with `error` set) or the read failed for another reason.
bool waitedForMore(int fd, int milliseconds, std::error_code& reason, std::string& error)
{
    if (reason != std::errc::resource_unavailable_try_again && reason != std::errc::operation_would_block)
        return false;
    reason.clear();
    if (platform::waitReadable(fd, milliseconds, reason))
        return true;
    error = reason ? systemReason(reason) : silentPipe(milliseconds);
    return false;
}

/// Opens the input for reading; -1, with the error in `result`, when it cannot be opened or is a folder.
int openInput(const std::string& path, bool nonBlocking, platform::OpenFileInfo& info, InputFile& result)
{
    if (path.empty()) {
        result.error = systemReason(ENOENT);
        return -1;
    }
    std::error_code reason;
    const int fd = platform::openForReading(path, reason, nonBlocking);
    if (fd < 0) {
        result.error = systemReason(reason);
        return -1;
    }
    if (!platform::describe(fd, info, reason))
        result.error = systemReason(reason);
    else if (info.directory)
        result.error = systemReason(EISDIR);
    if (result.ok())
        return fd;
    platform::closeFile(fd, reason);
    return -1;
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
    return "holds a NUL byte (at byte " + std::to_string(offset + nul) + "), so it is no " +
           std::string(kind);
}

namespace {

/// Judges an input's whole content at once, as readInput judges the blocks of an uncompressed one.
void judgeContent(InputFile& result, std::string content, const InputRules& rules)
{
    std::string error;
    if (!acceptable({}, 0, content, rules.kind, rules.limit, error)) {
        if (!rules.keepWideText || wideEncodingOf(content) == WideEncoding::None) {
            result.notText = true;
            result.error = std::move(error);
            return;
        }
        result.wideText = std::move(error);
    }
    result.bytes = std::move(content);
}

/// Unpacks a gzip-compressed input within the limit and judges what it holds.
void unpackInput(InputFile& result, const std::string& compressed, const InputRules& rules)
{
    Unpacked content = gunzip(compressed, rules.limit, limitText(rules.limit));
    if (!content.ok())
        result.error = std::move(content.error);
    else
        judgeContent(result, std::move(content.bytes), rules);
}

/// Judges a gzip-compressed input by what it unpacks to, without keeping that: the bytes stay compressed.
/// Wide text, which only its format's reader can judge, is unpacked and judged whole.
void judgeCompressed(InputFile& result, std::string compressed, const InputRules& rules)
{
    char head[4] = {};
    std::uint64_t before = 0;
    std::string refused;
    const std::string error =
        gunzipEach(compressed, rules.limit, limitText(rules.limit), [&](std::string_view piece) {
            const std::string_view known(head, std::min<std::uint64_t>(before, 4));
            if (!acceptable(known, before, piece, rules.kind, rules.limit, refused))
                return false;
            for (std::size_t i = 0; before + i < 4 && i < piece.size(); ++i)
                head[before + i] = piece[i];
            before += piece.size();
            return true;
        });
    if (!error.empty()) {
        result.error = error;
        return;
    }
    if (refused.empty()) {
        result.bytes = std::move(compressed);
        return;
    }
    unpackInput(result, compressed, rules);
}

/// What the read input gives: its bytes, or for a compressed one what judging or unpacking them gives.
void takeBytes(InputFile& result, std::string bytes, bool compressed, const InputRules& rules)
{
    if (compressed && rules.keepCompressed)
        judgeCompressed(result, std::move(bytes), rules);
    else if (compressed)
        unpackInput(result, bytes, rules);
    else
        result.bytes = std::move(bytes);
}

} // namespace

InputFile readInputHead(const std::string& path, std::size_t count)
{
    InputFile result;
    platform::OpenFileInfo info;
    // Not waiting for a writer: a pipe without one reads as empty.
    const int fd = openInput(path, true, info, result);
    if (fd < 0)
        return result;
    std::error_code reason;
    result.bytes.resize(count);
    std::size_t got = 0;
    while (result.ok() && got < count) {
        const long long part = platform::readSome(fd, result.bytes.data() + got, count - got, reason);
        if (part < 0 && reason != std::errc::resource_unavailable_try_again &&
            reason != std::errc::operation_would_block)
            result.error = systemReason(reason);
        if (part <= 0)
            break;
        got += static_cast<std::size_t>(part);
    }
    platform::closeFile(fd, reason);
    result.bytes.resize(result.ok() ? got : 0);
    if (isGzip(result.bytes)) {
        Unpacked content = gunzip(result.bytes, count, {}, true);
        result.error = std::move(content.error);
        result.bytes = std::move(content.bytes);
    }
    return result;
}

InputFile readInputFile(const std::string& path, std::string_view kind, std::uint64_t limit)
{
    return readInput(path, InputRules{kind, false, -1, limit});
}

InputFile readInput(const std::string& path, const InputRules& rules)
{
    InputFile result;
    platform::OpenFileInfo info;
    const bool patient = rules.patienceMilliseconds >= 0;
    const int fd = openInput(path, patient, info, result);
    if (fd < 0)
        return result;
    std::error_code reason;
    if (info.regular && info.size > rules.limit) {
        result.error = tooLarge(rules.limit);
        platform::closeFile(fd, reason);
        return result;
    }
    Collector bytes(info.regular ? std::optional<std::uint64_t>(info.size) : std::nullopt);
    std::string_view kind = rules.kind;
    bool compressed = false;
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::string block(kBlock, '\0');
    for (;;) {
        const long long got = platform::readSome(fd, block.data(), block.size(), reason);
        if (got < 0 && patient && waitedForMore(fd, rules.patienceMilliseconds, reason, result.error))
            continue;
        if (got < 0) {
            if (result.ok())
                result.error = systemReason(reason);
            break;
        }
        if (got == 0)
            break;
        const std::string_view piece(block.data(), static_cast<std::size_t>(got));
        if (bytes.size() == 0 && isGzip(piece)) {
            // A compressed file is judged by what it holds, once it is unpacked.
            compressed = true;
            kind = {};
        }
        std::string error;
        if (!acceptable(bytes.head(), bytes.size(), piece, kind, rules.limit, error)) {
            const bool content = !error.empty() && error.rfind("is larger", 0) != 0;
            if (content && rules.keepWideText && bytes.size() == 0 &&
                wideEncodingOf(piece) != WideEncoding::None) {
                // Wide text is judged by whoever knows its format; its zero bytes are no fault here.
                result.wideText = std::move(error);
                kind = {};
                bytes.add(piece);
                continue;
            }
            result.notText = content;
            result.error = std::move(error);
            break;
        }
        bytes.add(piece);
    }
    platform::closeFile(fd, reason);
    if (result.ok() && patient && !info.regular && bytes.size() == 0)
        result.error = "is a pipe or device that gave nothing to read";
    if (result.ok())
        takeBytes(result, bytes.take(), compressed, rules);
    return result;
}

} // namespace quorvix
