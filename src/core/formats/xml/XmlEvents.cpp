#include "formats/xml/XmlEvents.h"

#include "base/Text.h"

#include <algorithm>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

namespace quorvix::xml {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 16;

std::string_view view(const xmlChar* text)
{
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

void ignoreMessage(void*, const char*, ...) {}

/// No document is given a file or address to read besides itself: no external DTD, no external entity.
xmlParserInputPtr loadNothing(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

/// libxml2 keeps global state that must be set up once, before any thread parses; it must never print.
void setUpOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
        xmlSetExternalEntityLoader(loadNothing);
    });
}

} // namespace

std::string_view valueOf(std::span<const Attribute> attributes, std::string_view name)
{
    for (const Attribute& attribute : attributes)
        if (attribute.name == name)
            return attribute.value;
    return {};
}

bool has(std::span<const Attribute> attributes, std::string_view name)
{
    return std::any_of(attributes.begin(), attributes.end(),
                       [&](const Attribute& attribute) { return attribute.name == name; });
}

std::string_view trimmed(std::string_view value)
{
    const auto first = value.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<std::int32_t> numberOf(std::span<const Attribute> attributes, std::string_view name)
{
    if (!has(attributes, name))
        return std::nullopt;
    const auto value =
        signedDecimal(trimmed(valueOf(attributes, name)), std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max());
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::string_view firstElementName(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    for (;;) {
        const auto open = text.find('<');
        if (open == std::string_view::npos || text.find_first_not_of(" \t\r\n") < open)
            return {};
        text.remove_prefix(open);
        const std::string_view end = text.substr(0, 4) == "<!--" ? "-->"
                                     : text.substr(0, 2) == "<?" ? "?>"
                                                                 : ">";
        if (text.substr(0, 2) != "<?" && text.substr(0, 2) != "<!")
            return text.substr(1, text.find_first_of(" \t\r\n/>") - 1);
        const auto close = text.find(end);
        if (close == std::string_view::npos)
            return {};
        text.remove_prefix(close + end.size());
    }
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

struct PushParser::Context
{
    Events& events;
    Leniency leniency;
    xmlSAXHandler sax{};
    xmlParserCtxtPtr parser = nullptr;
    std::optional<Diagnostic> error;
    std::vector<Attribute> attributes;
    bool failed = false;

    Context(Events& e, Leniency l) : events(e), leniency(l) {}

    static Context& of(void* user)
    {
        auto* parser = static_cast<xmlParserCtxtPtr>(user);
        return *static_cast<Context*>(parser->_private);
    }

    SourcePos position() const
    {
        if (parser == nullptr || parser->input == nullptr)
            return {};
        return SourcePos{static_cast<std::uint32_t>(std::max(parser->input->line, 0)),
                         static_cast<std::uint32_t>(std::max(parser->input->col, 0))};
    }

    static void startElement(void* user, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                             const xmlChar**, int count, int, const xmlChar** values)
    {
        Context& context = of(user);
        context.attributes.clear();
        for (int i = 0; i < count; ++i) {
            const xmlChar* const* attribute = values + 5 * i;
            const auto begin = reinterpret_cast<const char*>(attribute[3]);
            const auto length = static_cast<std::size_t>(attribute[4] - attribute[3]);
            context.attributes.push_back(Attribute{view(attribute[0]), std::string_view(begin, length)});
        }
        context.events.start(view(name), context.attributes, context.position());
    }

    static void endElement(void* user, const xmlChar* name, const xmlChar*, const xmlChar*)
    {
        of(user).events.end(view(name));
    }

    static void characters(void* user, const xmlChar* text, int length)
    {
        of(user).events.text(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    }

    static void structuredError(void* user, xmlErrorPtr found)
    {
        if (found == nullptr || found->level < XML_ERR_ERROR)
            return;
        Context& context = of(user);
        if (found->code == XML_ERR_NO_MEMORY)
            context.failed = true;
        if (context.error)
            return;
        std::string message(found->message != nullptr ? found->message : "not well-formed");
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        if (found->code == XML_ERR_ENTITYREF_SEMICOL_MISSING || found->code == XML_ERR_NAME_REQUIRED)
            message += " (a \"&\" that starts no reference is written &amp;)";
        context.error = Diagnostic{Severity::Error,
                                   SourcePos{static_cast<std::uint32_t>(std::max(found->line, 0)),
                                             static_cast<std::uint32_t>(std::max(found->int2, 0))},
                                   "malformed XML: " + message};
    }
};

namespace {

/// The handlers, and the options both ways of parsing take.
void setUp(PushParser::Context& context)
{
    setUpOnce();
    context.sax.initialized = XML_SAX2_MAGIC;
    context.sax.startElementNs = PushParser::Context::startElement;
    context.sax.endElementNs = PushParser::Context::endElement;
    context.sax.characters = PushParser::Context::characters;
    context.sax.cdataBlock = PushParser::Context::characters;
    context.sax.serror = PushParser::Context::structuredError;
}

/// References are replaced ("&amp;" in an attribute would otherwise come as "&#38;"), as the programs whose
/// files these are replace them. No external entity is ever loaded (loadNothing), and libxml2 bounds what
/// internal ones expand to. Errors go to structuredError, never to the terminal.
int optionsFor(Leniency leniency)
{
    return XML_PARSE_NONET | XML_PARSE_NOENT | (leniency == Leniency::Recover ? XML_PARSE_RECOVER : 0);
}

} // namespace

PushParser::PushParser(Events& events) : m_context(std::make_unique<Context>(events, Leniency::Strict))
{
    Context& context = *m_context;
    setUp(context);
    context.parser = xmlCreatePushParserCtxt(&context.sax, nullptr, nullptr, 0, nullptr);
    if (context.parser == nullptr)
        throw std::bad_alloc();
    context.parser->_private = &context;
    xmlCtxtUseOptions(context.parser, optionsFor(Leniency::Strict));
}

PushParser::~PushParser()
{
    if (m_context->parser != nullptr) {
        xmlFreeDoc(m_context->parser->myDoc);
        xmlFreeParserCtxt(m_context->parser);
    }
}

const std::optional<Diagnostic>& PushParser::error() const
{
    return m_context->error;
}

bool PushParser::feed(std::string_view bytes)
{
    Context& context = *m_context;
    while (!bytes.empty()) {
        if (context.error)
            return false;
        const std::size_t piece = std::min(bytes.size(), kPiece);
        xmlParseChunk(context.parser, bytes.data(), static_cast<int>(piece), 0);
        if (context.failed)
            throw std::bad_alloc();
        bytes.remove_prefix(piece);
    }
    return !context.error;
}

bool PushParser::finish()
{
    Context& context = *m_context;
    if (context.error)
        return false;
    xmlParseChunk(context.parser, nullptr, 0, 1);
    if (context.failed)
        throw std::bad_alloc();
    return !context.error;
}

std::optional<Diagnostic> parse(std::string_view document, Events& events, Leniency leniency)
{
    // An empty document has nothing to recover (and libxml2 makes no memory parser of it).
    if (leniency == Leniency::Strict || document.empty()) {
        PushParser parser(events);
        if (parser.feed(document))
            parser.finish();
        return parser.error();
    }
    // Recovery needs the whole document at once: libxml2's push parser gives up where this one goes on.
    if (document.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("an XML document larger than 2 GiB");
    PushParser::Context context(events, leniency);
    setUp(context);
    context.parser = xmlCreateMemoryParserCtxt(document.data(), static_cast<int>(document.size()));
    if (context.parser == nullptr)
        throw std::bad_alloc();
    xmlSAXHandlerPtr own = context.parser->sax;
    context.parser->sax = &context.sax;
    context.parser->_private = &context;
    xmlCtxtUseOptions(context.parser, optionsFor(leniency));
    xmlParseDocument(context.parser);
    context.parser->sax = own;
    xmlFreeDoc(context.parser->myDoc);
    xmlFreeParserCtxt(context.parser);
    context.parser = nullptr;
    if (context.failed)
        throw std::bad_alloc();
    return context.error;
}

} // namespace quorvix::xml
