#pragma once

#include <string>
#include <vector>

namespace quorvix {

/// The ordered list of converted lines that a conversion fills and a save writes. A line holds no line
/// break; a blank line is an empty string. Lines are 8-bit text kept as bytes.
class TextLines
{
public:
    TextLines() = default;
    virtual ~TextLines() = default;
    // Declared because the destructor would otherwise suppress moving: a moved list hands over its lines.
    TextLines(const TextLines&) = default;
    TextLines(TextLines&&) noexcept = default;
    TextLines& operator=(const TextLines&) = default;
    TextLines& operator=(TextLines&&) noexcept = default;

    /// Appends a copy of the line; returns the index it was stored at.
    int Add(std::string line);
    /// Destroys every line and releases the storage (capacity 0).
    void RemoveAll();
    /// Number of lines.
    int GetSize() const { return static_cast<int>(m_lines.size()); }
    /// Number of slots allocated (at least GetSize()).
    int GetCapacity() const { return static_cast<int>(m_lines.capacity()); }
    /// The growth step set by SetSize; 0 selects the automatic step.
    int GetGrowBy() const { return m_growBy; }
    /// Read access, 0 <= index < GetSize().
    const std::string& operator[](int index) const { return m_lines[static_cast<std::size_t>(index)]; }
    std::string& operator[](int index) { return m_lines[static_cast<std::size_t>(index)]; }
    /// Resizes to newSize lines (0 empties like RemoveAll; larger sizes append empty lines); a growBy of -1
    /// keeps the current growth step. A negative size is treated as 0.
    void SetSize(int newSize, int growBy = -1);
    /// Stores a copy of the line at index, first growing the list to index + 1 lines when needed. A negative
    /// index is ignored.
    void SetAtGrow(int index, std::string line);

    auto begin() const { return m_lines.begin(); }
    auto end() const { return m_lines.end(); }

private:
    void growTo(std::size_t size);

    std::vector<std::string> m_lines;
    int m_growBy = 0;
};

} // namespace quorvix
