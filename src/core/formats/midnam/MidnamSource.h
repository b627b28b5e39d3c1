#pragma once

// The XML tree a MIDNAM read works on. pugixml parses the file's own bytes in place, so every element and
// attribute name points into those bytes and its place in the file (line, and column counted in bytes)
// follows from the pointer. Private to formats/midnam.

#include "base/Diagnostic.h"
#include "formats/midnam/XmlStream.h"

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::midnam {

class Source
{
public:
    /// Parses `bytes` as XML. When they are not well-formed, error() says where and why.
    explicit Source(std::string bytes);
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    const std::optional<Diagnostic>& error() const { return m_error; }
    /// The root element (null when the parse failed).
    pugi::xml_node root() const { return m_document.document_element(); }

    /// Where an element (its "<") or an attribute (its name) stands; unknown when pugixml had to convert the
    /// file to UTF-8 first, as it does for UTF-16 and Latin-1 documents.
    SourcePos at(pugi::xml_node node) const;
    SourcePos at(pugi::xml_attribute attribute) const;

private:
    SourcePos atPointer(const char* pointer) const;
    SourcePos atOffset(std::size_t offset) const;

    std::string m_bytes;
    std::vector<std::uint32_t> m_lineStarts; ///< offsets of the first byte of every line but the first
    pugi::xml_document m_document;
    std::optional<Diagnostic> m_error;
};

/// The trimmed value of an attribute; empty when it is absent.
std::string_view attributeText(pugi::xml_node node, const char* name);

/// The decimal number an attribute holds (trimmed, optional sign); nullopt when it is absent, not a number or
/// beyond ±2^31.
std::optional<std::int32_t> attributeNumber(pugi::xml_attribute attribute);

/// Calls `visit(node)` for `top` and every element below it, in document order, without recursion (fuzzed
/// documents nest deeply).
template <typename Visit>
void forEachElement(pugi::xml_node top, Visit&& visit)
{
    for (pugi::xml_node node = top; node;) {
        if (node.type() == pugi::node_element)
            visit(node);
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != top && !node.next_sibling())
            node = node.parent();
        if (node == top)
            break;
        node = node.next_sibling();
    }
}

} // namespace quorvix::midnam
