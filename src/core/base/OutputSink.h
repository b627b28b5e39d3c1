#pragma once

// Where writers put their bytes: a file being written whole, standard output, or memory.

#include <string>
#include <string_view>

namespace quorvix {

/// A destination for bytes. A sink that fails keeps its failure and ignores further writes; its owner asks
/// at the end whether everything arrived.
class OutputSink
{
public:
    virtual ~OutputSink() = default;
    virtual void write(std::string_view bytes) = 0;
};

/// Collects the bytes in memory.
class StringSink final : public OutputSink
{
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

} // namespace quorvix
