#pragma once

// What readers and writers report about a file: a warning or an error with its place. The reader knows the
// line (and for XML the column); the caller adds the file's path when it prints.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// 1-based place in a file; 0 means unknown.
struct SourcePos
{
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

enum class Severity : unsigned char
{
    Warning,
    Error,
};

struct Diagnostic
{
    Severity severity = Severity::Warning;
    SourcePos at;
    std::string message;
};

/// The warnings of one read or write, in the order they were found. At most kLimit are kept; the rest are
/// counted and summed up by finish().
class Diagnostics
{
public:
    static constexpr std::size_t kLimit = 10000;

    void warn(SourcePos at, std::string message);
    void warn(std::uint32_t line, std::string message) { warn(SourcePos{line, 0}, std::move(message)); }
    /// Orders the warnings by line, keeping the order of those on one line.
    void sortByLine();
    /// Adds the summary of the warnings that were dropped, if any. Called once, at the end.
    void finish();

    const std::vector<Diagnostic>& list() const { return m_list; }
    std::size_t size() const { return m_list.size() + m_dropped; }
    bool empty() const { return size() == 0; }

private:
    std::vector<Diagnostic> m_list;
    std::size_t m_dropped = 0;
};

/// "PATH:LINE[:COLUMN]: warning: MESSAGE" (or "error:") on one line; the place is left out when unknown, and
/// control characters of the message other than tab are shown as escapes (\r, \n, \x01).
std::string formatDiagnostic(std::string_view path, const Diagnostic& diagnostic);

/// The same with `label` in the place of "warning" or "error" ("PATH:LINE: problem: MESSAGE").
std::string formatDiagnostic(std::string_view path, const Diagnostic& diagnostic, std::string_view label);

} // namespace quorvix
