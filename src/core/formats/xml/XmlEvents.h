#pragma once

// XML read as a stream of events (libxml2's SAX2 push parser), for formats whose files are large or not
// always well-formed: no document tree is built, so a file takes little more memory than what is read of
// it. Shared by the XML formats of formats/.

#include "base/Diagnostic.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvix::xml {

/// An attribute as the parser gives it: UTF-8, entity and character references replaced.
struct Attribute
{
    std::string_view name;
    std::string_view value;
};

/// The value of the attribute named `name` (as it is: not trimmed); empty when there is none.
std::string_view valueOf(std::span<const Attribute> attributes, std::string_view name);
/// True when the element has the attribute.
bool has(std::span<const Attribute> attributes, std::string_view name);
/// The attribute's value as a decimal number (blanks around it allowed); nothing when it is none or absent.
std::optional<std::int32_t> numberOf(std::span<const Attribute> attributes, std::string_view name);
/// The value with XML white space (space, tab, CR, LF) trimmed off both ends.
std::string_view trimmed(std::string_view value);
/// The name of the first element past the prolog (declaration, comments, DOCTYPE without an internal
/// subset), or empty when the text does not start so.
std::string_view firstElementName(std::string_view text);
/// True when two element names are the same but for the case of ASCII letters.
bool sameName(std::string_view a, std::string_view b);

/// What a reader is told of the document, in document order.
class Events
{
public:
    virtual ~Events() = default;
    /// An element starts; `at` is where its start tag ends (its line, and the column after it).
    virtual void start(std::string_view name, std::span<const Attribute> attributes, SourcePos at) = 0;
    virtual void end(std::string_view name) = 0;
    /// A piece of character data of the current element (one text may come in several pieces).
    virtual void text(std::string_view) {}
};

enum class Leniency : unsigned char
{
    Strict,  ///< the first error of well-formedness ends the parse
    Recover, ///< errors are passed over as libxml2's recovery mode does: what can be read is read
};

/// One document, given in pieces of any size, parsed strictly: the first error of well-formedness ends it.
class PushParser
{
public:
    explicit PushParser(Events& events);
    ~PushParser();
    PushParser(const PushParser&) = delete;
    PushParser& operator=(const PushParser&) = delete;

    /// Parses the next bytes of the document. False once the parse has failed.
    bool feed(std::string_view bytes);
    /// Ends the document. False when the parse failed.
    bool finish();
    /// The first error, "malformed XML: …" at its line and column.
    const std::optional<Diagnostic>& error() const;

    struct Context;

private:
    std::unique_ptr<Context> m_context;
};

/// Parses a whole document; the first error, if any (with Recover, the parse went on past it).
std::optional<Diagnostic> parse(std::string_view document, Events& events, Leniency leniency);

} // namespace quorvix::xml
