#include "base/Diagnostic.h"

#include <algorithm>

namespace quorvix {

void Diagnostics::warn(SourcePos at, std::string message)
{
    if (m_list.size() >= kLimit) {
        ++m_dropped;
        return;
    }
    m_list.push_back(Diagnostic{Severity::Warning, at, std::move(message)});
}

void Diagnostics::sortByLine()
{
    std::stable_sort(m_list.begin(), m_list.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.at.line < b.at.line; });
}

void Diagnostics::finish()
{
    if (m_dropped == 0)
        return;
    m_list.push_back(
        Diagnostic{Severity::Warning, {}, std::to_string(m_dropped) + " more warnings not shown"});
    m_dropped = 0;
}

std::string formatDiagnostic(std::string_view path, const Diagnostic& diagnostic)
{
    return formatDiagnostic(path, diagnostic, diagnostic.severity == Severity::Error ? "error" : "warning");
}

std::string formatDiagnostic(std::string_view path, const Diagnostic& diagnostic, std::string_view label)
{
    std::string text(path);
    if (diagnostic.at.line > 0) {
        text += ':';
        text += std::to_string(diagnostic.at.line);
        if (diagnostic.at.column > 0) {
            text += ':';
            text += std::to_string(diagnostic.at.column);
        }
    }
    text += ": ";
    text += label;
    text += ": ";
    // One diagnostic stays one line: a line break or other control character quoted from a file is shown as
    // an escape.
    for (const char c : diagnostic.message) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (byte < 0x20 && c != '\t') {
            constexpr char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        } else
            text += c;
    }
    return text;
}

} // namespace quorvix
