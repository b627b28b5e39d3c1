#include "base/Diagnostic.h"

namespace quorvix {

void Diagnostics::warn(SourcePos at, std::string message)
{
    if (m_list.size() >= kLimit) {
        ++m_dropped;
        return;
    }
    m_list.push_back(Diagnostic{Severity::Warning, at, std::move(message)});
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
