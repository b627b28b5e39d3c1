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
    std::string text(path);
    if (diagnostic.at.line > 0) {
        text += ':';
        text += std::to_string(diagnostic.at.line);
        if (diagnostic.at.column > 0) {
            text += ':';
            text += std::to_string(diagnostic.at.column);
        }
    }
    text += diagnostic.severity == Severity::Error ? ": error: " : ": warning: ";
    text += diagnostic.message;
    return text;
}

} // namespace quorvix
