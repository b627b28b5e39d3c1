#include "formats/midnam/MidnamSource.h"

#include "base/Encoding.h"
#include "base/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvix::midnam {

Source::Source(std::string bytes) : m_bytes(std::move(bytes))
{
    // The line starts are taken before parsing: parsing in place overwrites the bytes that end names and
    // values, and a line end can be one of them.
    for (const char *at = m_bytes.data(), *end = at + m_bytes.size();
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))));) {
        ++at;
        m_lineStarts.push_back(static_cast<std::uint32_t>(at - m_bytes.data()));
    }

    const pugi::xml_parse_result result = m_document.load_buffer_inplace(
        m_bytes.data(), m_bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
        m_error = Diagnostic{Severity::Error,
                             result.encoding == pugi::encoding_utf8 ? atOffset(offset) : SourcePos{},
                             std::string("malformed XML: ") + result.description()};
        return;
    }
    // pugixml accepts elements after the root one; XML does not.
    pugi::xml_node first = root();
    for (pugi::xml_node next = first.next_sibling(); next; next = next.next_sibling()) {
        if (next.type() == pugi::node_element) {
            m_error = Diagnostic{Severity::Error, at(next),
                                 std::string("malformed XML: a second root element <") + next.name() + ">"};
            return;
        }
    }
}

SourcePos Source::at(pugi::xml_node node) const
{
    if (node.type() != pugi::node_element)
        return {};
    const SourcePos pos = atPointer(node.name());
    // The name follows the "<".
    return pos.column > 1 ? SourcePos{pos.line, pos.column - 1} : pos;
}

SourcePos Source::at(pugi::xml_attribute attribute) const
{
    return attribute ? atPointer(attribute.name()) : SourcePos{};
}

SourcePos Source::atPointer(const char* pointer) const
{
    // Integer comparison: the pointer may belong to a buffer pugixml converted the file into.
    const auto begin = reinterpret_cast<std::uintptr_t>(m_bytes.data());
    const auto where = reinterpret_cast<std::uintptr_t>(pointer);
    if (where < begin || where >= begin + m_bytes.size())
        return {};
    return atOffset(where - begin);
}

SourcePos Source::atOffset(std::size_t offset) const
{
    const auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    std::size_t lineStart = next == m_lineStarts.begin() ? 0 : *(next - 1);
    // Editors do not show a byte-order mark, so the first line's columns count from after it.
    if (lineStart == 0 && offset >= kUtf8ByteOrderMark.size() && startsWithByteOrderMark(m_bytes))
        lineStart = kUtf8ByteOrderMark.size();
    return SourcePos{static_cast<std::uint32_t>(next - m_lineStarts.begin() + 1),
                     static_cast<std::uint32_t>(offset - lineStart + 1)};
}

std::string_view attributeText(pugi::xml_node node, const char* name)
{
    return trimmed(node.attribute(name).value());
}

std::optional<std::int32_t> attributeNumber(pugi::xml_attribute attribute)
{
    if (!attribute)
        return std::nullopt;
    const auto value = signedDecimal(trimmed(attribute.value()), std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

} // namespace quorvix::midnam
