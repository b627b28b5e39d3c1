#include "base/Gzip.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <zlib.h>

namespace quorvix {

bool isGzip(std::string_view bytes)
{
    return bytes.size() >= 3 && bytes[0] == '\x1F' && bytes[1] == '\x8B' && bytes[2] == '\x08';
}

namespace {

/// One z_stream, ended whatever way the unpacking ends.
class Inflater
{
public:
    Inflater() { m_ok = inflateInit2(&m_stream, 16 + MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (m_ok)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool ok() const { return m_ok; }
    z_stream& stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_ok = false;
};

constexpr std::size_t kBlock = std::size_t{1} << 16;

} // namespace

std::string gunzipEach(std::string_view compressed, std::uint64_t limit, std::string_view limitText,
                       const std::function<bool(std::string_view)>& each)
{
    Inflater inflater;
    if (!inflater.ok())
        throw std::bad_alloc();
    z_stream& stream = inflater.stream();
    auto* next = reinterpret_cast<const Bytef*>(compressed.data());
    std::size_t left = compressed.size();
    std::string block(kBlock, '\0');
    std::uint64_t made = 0;
    for (;;) {
        // zlib counts in 32 bits: a larger input is handed over in parts.
        if (stream.avail_in == 0 && left > 0) {
            const auto part =
                static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = part;
            next += part;
            left -= part;
        }
        stream.next_out = reinterpret_cast<Bytef*>(block.data());
        stream.avail_out = static_cast<uInt>(block.size());
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t size = block.size() - stream.avail_out;
        if (made + size > limit)
            return "unpacks to more than " + std::string(limitText);
        made += size;
        if (size > 0 && !each(std::string_view(block.data(), size)))
            return {};
        if (status == Z_STREAM_END) {
            // A further member follows as another gzip stream; anything else after the data is ignored.
            const std::string_view rest(reinterpret_cast<const char*>(stream.next_in), stream.avail_in);
            if (!isGzip(rest) &&
                !(rest.empty() && left > 0 && isGzip({reinterpret_cast<const char*>(next), left})))
                return {};
            inflateReset(&stream);
            continue;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && left == 0)
            return "its gzip data ends before the compressed file does";
        if (status == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (status != Z_OK)
            return "its gzip data is damaged";
    }
}

Unpacked gunzip(std::string_view compressed, std::uint64_t limit, std::string_view limitText, bool head)
{
    Unpacked result;
    if (head) {
        gunzipEach(compressed, std::numeric_limits<std::uint64_t>::max(), {}, [&](std::string_view bytes) {
            result.bytes.append(bytes.substr(0, static_cast<std::size_t>(limit - result.bytes.size())));
            return result.bytes.size() < limit;
        });
        return result;
    }
    result.error = gunzipEach(compressed, limit, limitText, [&](std::string_view bytes) {
        result.bytes.append(bytes);
        return true;
    });
    if (!result.ok())
        result.bytes.clear();
    return result;
}

struct GzipSink::Deflater
{
    z_stream stream{};
    gz_header header{};
    bool ok = false;
    bool finished = false;
    std::string block = std::string(kBlock, '\0');
};

GzipSink::GzipSink(OutputSink& out) : m_out(out), m_deflater(std::make_unique<Deflater>())
{
    Deflater& d = *m_deflater;
    d.ok = deflateInit2(&d.stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                        Z_DEFAULT_STRATEGY) == Z_OK;
    d.header.os = 255; // unknown: zlib would name the system it was built for
    if (d.ok && deflateSetHeader(&d.stream, &d.header) != Z_OK) {
        deflateEnd(&d.stream);
        d.ok = false;
    }
    if (!d.ok)
        throw std::bad_alloc(); // zlib fails to start only for want of memory
}

GzipSink::~GzipSink()
{
    if (m_deflater->ok)
        deflateEnd(&m_deflater->stream);
}

void GzipSink::pump(std::string_view bytes, bool last)
{
    Deflater& d = *m_deflater;
    if (d.finished)
        return;
    auto* next = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    for (;;) {
        if (d.stream.avail_in == 0 && left > 0) {
            const auto part =
                static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
            d.stream.next_in = const_cast<Bytef*>(next);
            d.stream.avail_in = part;
            next += part;
            left -= part;
        }
        const bool end = last && left == 0;
        d.stream.next_out = reinterpret_cast<Bytef*>(d.block.data());
        d.stream.avail_out = static_cast<uInt>(d.block.size());
        const int status = deflate(&d.stream, end ? Z_FINISH : Z_NO_FLUSH);
        const std::size_t made = d.block.size() - d.stream.avail_out;
        if (made > 0)
            m_out.write(std::string_view(d.block.data(), made));
        if (status == Z_STREAM_END) {
            d.finished = true;
            return;
        }
        if (status != Z_OK && status != Z_BUF_ERROR)
            throw std::bad_alloc();
        if (!end && d.stream.avail_in == 0 && left == 0 && d.stream.avail_out > 0)
            return;
    }
}

void GzipSink::write(std::string_view bytes)
{
    pump(bytes, false);
}

void GzipSink::finish()
{
    pump({}, true);
}

} // namespace quorvix
