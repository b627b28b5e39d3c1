#pragma once

// Reading gzip-compressed files: what they hold, within a limit on what they unpack to, so that a small
// file cannot make the program hold gigabytes. Writing them: a sink that compresses what it is given.

#include "base/OutputSink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quorvix {

/// True when the bytes start as a gzip stream does (1F 8B 08).
bool isGzip(std::string_view bytes);

/// What gzip-compressed bytes hold, or why they cannot be unpacked.
struct Unpacked
{
    std::string bytes;
    std::string error; ///< empty on success: "its gzip data is damaged", "unpacks to more than ..."

    bool ok() const { return error.empty(); }
};

/// Unpacks every member of a gzip stream in turn, handing what it unpacks to `each` in pieces as they come;
/// `each` returns false to stop there. The reason it fails, or empty: the data is damaged or ends early, or
/// it unpacks to more than `limit` bytes (named as `limitText`). Bytes after the last member are ignored, as
/// gzip does. Throws std::bad_alloc when zlib has not the memory it needs.
std::string gunzipEach(std::string_view compressed, std::uint64_t limit, std::string_view limitText,
                       const std::function<bool(std::string_view)>& each);

/// Unpacks every member of a gzip stream in turn (bytes after the last member are ignored, as gzip does).
/// Fails when the data is damaged or ends early, or when it unpacks to more than `limit` bytes (named as
/// `limitText` in the message). With `head` set, unpacks only the first `limit` bytes, and an end within the
/// data is no error.
Unpacked gunzip(std::string_view compressed, std::uint64_t limit, std::string_view limitText,
                bool head = false);

/// Compresses what it is given into `out` as one gzip member, in blocks as they fill. The header names no
/// file, no time and no system, so the same text makes the same bytes on every system. Throws
/// std::bad_alloc when zlib has not the memory it needs.
class GzipSink final : public OutputSink
{
public:
    explicit GzipSink(OutputSink& out);
    ~GzipSink() override;
    GzipSink(const GzipSink&) = delete;
    GzipSink& operator=(const GzipSink&) = delete;

    void write(std::string_view bytes) override;
    /// Ends the stream: what is still held goes out with the gzip trailer. Nothing is written after it.
    void finish();

private:
    struct Deflater;
    void pump(std::string_view bytes, bool last);

    OutputSink& m_out;
    std::unique_ptr<Deflater> m_deflater;
};

} // namespace quorvix
