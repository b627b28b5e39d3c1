#pragma once

// XML text written straight into an OutputSink, in blocks, with escaping, and the small text helpers the
// MIDNAM reader and writer share. Private to formats/midnam.

#include "base/OutputSink.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quorvix::midnam {

enum class XmlEscape : unsigned char
{
    None,      ///< only leave out what XML cannot hold
    Text,      ///< element content: & < > and CR escaped
    Attribute, ///< a value in double quotes: & < > " and tab, LF, CR escaped (they would become spaces)
};

/// The text with XML white space (space, tab, CR, LF) trimmed off both ends.
std::string_view trimmed(std::string_view text);

/// Appends UTF-8 `text` to `out`, escaped as `escape` says, leaving out the characters XML 1.0 cannot hold
/// (controls other than tab, LF and CR, U+FFFE, U+FFFF) and bytes that are not UTF-8. True when it left out
/// any.
bool appendXml(std::string& out, std::string_view text, XmlEscape escape);

/// A name as a reader will see it: without what XML cannot hold, trimmed.
std::string cleanName(std::string_view utf8);

/// The text of an XML comment: cleanName(text), with no "--" in it and no "-" at its end.
std::string commentText(std::string_view text);

/// Writes XML text into a sink in blocks of about 64 KiB; the rest at flush() or destruction.
class XmlStream
{
public:
    explicit XmlStream(OutputSink& sink);
    ~XmlStream() { flush(); }
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    /// Markup, as it is.
    XmlStream& operator<<(std::string_view markup);
    /// Element content.
    void text(std::string_view utf8);
    /// ` name="value"`.
    void attribute(std::string_view name, std::string_view utf8);
    void attribute(std::string_view name, long long number);
    void flush();

    /// True when a text or value lost characters XML cannot hold.
    bool leftOut() const { return m_leftOut; }

private:
    /// Room for `size` more bytes in the block (at most a block's size), the block written out first when
    /// it has too little.
    char* room(std::size_t size);
    void put(std::string_view bytes);
    /// The text escaped as `escape` says: itself when it needs no escape, else valid until the next call.
    std::string_view escaped(std::string_view utf8, XmlEscape escape);
    /// ` name="value"` of a value that needs no escape, or is escaped already.
    void putPlainAttribute(std::string_view name, std::string_view value);

    OutputSink& m_sink;
    std::unique_ptr<char[]> m_block;
    std::size_t m_used = 0;
    std::string m_escaped; ///< the escaped text of a value that needs escapes
    bool m_leftOut = false;
};

} // namespace quorvix::midnam
