#include "formats/csv/CsvTable.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"

#include <algorithm>
#include <array>
#include <csv.h>
#include <new>

namespace quorvix::csv {

namespace {

/// libcsv's parser, fed line by line so that each row knows its line.
class Parser
{
public:
    Parser(char separator, const std::function<bool(const Row&)>& visit) : m_visit(visit)
    {
        if (csv_init(&m_parser, 0) != 0)
            throw std::bad_alloc();
        csv_set_delim(&m_parser, static_cast<unsigned char>(separator));
    }
    ~Parser() { csv_free(&m_parser); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    /// Feeds the text; false once `visit` asked to stop.
    bool feed(std::string_view text)
    {
        LineCursor lines(text);
        std::string_view line;
        while (!m_stopped && lines.next(line)) {
            m_line = lines.number();
            // The buffer of a field grows by the block size: one step takes the longest line.
            csv_set_blk_size(&m_parser, std::max<std::size_t>(line.size() + 1, 128));
            parse(line);
            if (line.data() + line.size() < text.data() + text.size())
                parse("\n");
        }
        if (!m_stopped)
            csv_fini(&m_parser, &Parser::field, &Parser::row, this);
        return !m_stopped;
    }

private:
    void parse(std::string_view bytes)
    {
        if (csv_parse(&m_parser, bytes.data(), bytes.size(), &Parser::field, &Parser::row, this) !=
            bytes.size())
            throw std::bad_alloc(); // the only failure outside strict mode
    }

    static void field(void* bytes, std::size_t size, void* self)
    {
        auto& parser = *static_cast<Parser*>(self);
        const std::string_view cell(static_cast<const char*>(bytes), bytes != nullptr ? size : 0);
        parser.m_breaks += static_cast<std::uint32_t>(std::count(cell.begin(), cell.end(), '\n'));
        parser.m_row.cells.emplace_back(cell);
    }

    static void row(int, void* self)
    {
        auto& parser = *static_cast<Parser*>(self);
        if (parser.m_stopped)
            return;
        parser.m_row.line = parser.m_line - parser.m_breaks;
        parser.m_stopped = !parser.m_visit(parser.m_row);
        parser.m_row.cells.clear();
        parser.m_breaks = 0;
    }

    csv_parser m_parser{};
    const std::function<bool(const Row&)>& m_visit;
    Row m_row;
    std::uint32_t m_line = 0;
    std::uint32_t m_breaks = 0; ///< line breaks inside the fields of the row so far
    bool m_stopped = false;
};

} // namespace

char separatorOf(std::string_view text)
{
    text = withoutByteOrderMark(text);
    constexpr std::array<char, 3> kSeparators{',', ';', '\t'};
    std::array<std::size_t, 3> counts{};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            for (std::size_t i = 0; i < kSeparators.size(); ++i)
                counts[i] += c == kSeparators[i] ? 1 : 0;
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    return kSeparators[static_cast<std::size_t>(most - counts.begin())];
}

void forEachRow(std::string_view text, char separator, const std::function<bool(const Row&)>& visit)
{
    Parser(separator, visit).feed(withoutByteOrderMark(text));
}

std::vector<std::string> headerOf(std::string_view text, char separator)
{
    std::vector<std::string> header;
    forEachRow(text, separator, [&](const Row& row) {
        header = row.cells;
        return false;
    });
    return header;
}

void appendField(std::string& row, std::string_view field)
{
    const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.front() == '\t' ||
                                            field.back() == ' ' || field.back() == '\t'));
    if (!quoted) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        if (c == '"')
            row += '"';
        row += c;
    }
    row += '"';
}

} // namespace quorvix::csv
