// Telling a MIDNAM document from other text: the first element after the prolog, found without parsing the
// document, so that a prolog of any length is looked past and text is never taken for markup.

#include "base/Encoding.h"
#include "formats/midnam/MidnamReader.h"

namespace quorvix {

namespace {

enum class FirstElement
{
    Midnam,     ///< <MIDINameDocument
    Other,      ///< another element, text before any element, or markup that is not XML
    Unfinished, ///< the bytes end before the first element's name does
};

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// Where the text `end` is found from `from`, past it; npos when it is not there.
std::size_t pastText(std::string_view text, std::size_t from, std::string_view end)
{
    const std::size_t at = text.find(end, from);
    return at == std::string_view::npos ? at : at + end.size();
}

/// Past the DOCTYPE declaration that starts at `from`: quoted literals and the internal subset (with its
/// comments, processing instructions and quoted literals, where "]" and ">" mean nothing) are stepped over.
std::size_t pastDoctype(std::string_view text, std::size_t from)
{
    bool inSubset = false;
    for (std::size_t i = from; i < text.size();) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            i = pastText(text, i + 1, std::string_view(&c, 1));
        } else if (inSubset && text.compare(i, 4, "<!--") == 0) {
            i = pastText(text, i + 4, "-->");
        } else if (inSubset && text.compare(i, 2, "<?") == 0) {
            i = pastText(text, i + 2, "?>");
        } else {
            if (c == '[')
                inSubset = true;
            else if (c == ']')
                inSubset = false;
            else if (c == '>' && !inSubset)
                return i + 1;
            ++i;
        }
        if (i == std::string_view::npos)
            return i;
    }
    return std::string_view::npos;
}

FirstElement firstElement(std::string_view text)
{
    std::size_t i = startsWithByteOrderMark(text) ? kUtf8ByteOrderMark.size() : 0;
    for (;;) {
        while (i < text.size() && isXmlSpace(text[i]))
            ++i;
        if (i == text.size())
            return FirstElement::Unfinished;
        if (text[i] != '<')
            return FirstElement::Other;
        if (text.compare(i, 2, "<?") == 0) {
            i = pastText(text, i + 2, "?>");
        } else if (text.compare(i, 4, "<!--") == 0) {
            i = pastText(text, i + 4, "-->");
        } else if (text.compare(i, 9, "<!DOCTYPE") == 0) {
            i = pastDoctype(text, i + 9);
        } else if (text.compare(i, 2, "<!") == 0) {
            return FirstElement::Other;
        } else {
            constexpr std::string_view kRoot = "MIDINameDocument";
            const std::string_view name = text.substr(i + 1, kRoot.size() + 1);
            if (name.size() <= kRoot.size())
                return kRoot.starts_with(name) ? FirstElement::Unfinished : FirstElement::Other;
            const char after = name.back();
            return name.starts_with(kRoot) && (isXmlSpace(after) || after == '>' || after == '/')
                       ? FirstElement::Midnam
                       : FirstElement::Other;
        }
        if (i == std::string_view::npos)
            return FirstElement::Unfinished;
    }
}

FirstElement firstElementOf(std::string_view bytes)
{
    const WideEncoding wide = wideEncodingOf(bytes);
    if (wide == WideEncoding::None)
        return firstElement(bytes);
    // Wide text is converted as far as the first element needs, in growing steps.
    std::string text;
    for (std::size_t part = std::size_t{64} << 10;; part *= 4) {
        const bool whole = part >= bytes.size();
        const bool converted = wideToUtf8(bytes.substr(0, part), wide, text, !whole);
        const FirstElement first = firstElement(text);
        if (first != FirstElement::Unfinished || whole || !converted)
            return first;
    }
}

} // namespace

bool looksLikeMidnam(std::string_view bytes)
{
    return firstElementOf(bytes) == FirstElement::Midnam;
}

bool endsInXmlProlog(std::string_view head)
{
    return firstElementOf(head) == FirstElement::Unfinished;
}

} // namespace quorvix
