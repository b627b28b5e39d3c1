#pragma once

#include "base/OutputSink.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace quorvix {

/// Writes lines to a sink through a buffer, each line ended by `lineEnd`. The sink gets blocks of at least
/// `blockSize` bytes (but the last).
class LineWriter
{
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 16;

    explicit LineWriter(OutputSink& out, std::string_view lineEnd = "\r\n",
                        std::size_t blockSize = kDefaultBlockSize)
        : m_out(out), m_lineEnd(lineEnd), m_block(blockSize)
    {
        m_buffer.reserve(m_block + 4096);
    }
    ~LineWriter() { flush(); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    /// One line made of the parts, then the line end.
    void line(std::initializer_list<std::string_view> parts)
    {
        for (const std::string_view part : parts)
            m_buffer.append(part);
        m_buffer.append(m_lineEnd);
        if (m_buffer.size() >= m_block)
            flush();
    }
    void line(std::string_view text = {}) { line({text}); }
    /// One line that `fill(std::string&)` appends to the given text, then the line end.
    template <typename Fill>
    void lineFrom(Fill&& fill)
    {
        fill(m_buffer);
        m_buffer.append(m_lineEnd);
        if (m_buffer.size() >= m_block)
            flush();
    }

    void flush()
    {
        if (!m_buffer.empty())
            m_out.write(m_buffer);
        m_buffer.clear();
    }

private:
    OutputSink& m_out;
    std::string_view m_lineEnd;
    std::size_t m_block;
    std::string m_buffer;
};

} // namespace quorvix
