#include "formats/cubase/ScriptCheck.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "base/Text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quorvix {

namespace {

constexpr std::array<std::string_view, 10> kHeaderCommands = {
    "cubase parse file", "comment",     "creators first name", "creators last name", "device manufacturer",
    "device name",       "script name", "script version",      "define patchnames",  "end"};

/// A line "[TAG]VALUE", after its blanks.
struct Command
{
    std::string_view tag;
    std::string_view value;
};

std::optional<Command> commandOf(std::string_view line)
{
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Command{line.substr(1, close - 1), trimBlanks(line.substr(close + 1))};
}

/// The level of "[gL]" or "[pL, ...]" and the text after it; nullopt for another tag.
std::optional<std::uint64_t> levelOf(std::string_view tag, char letter, std::string_view& rest)
{
    if (tag.size() < 2 || tag.front() != letter || !isDigit(tag[1]))
        return std::nullopt;
    std::size_t end = 1;
    while (end < tag.size() && isDigit(tag[end]))
        ++end;
    rest = tag.substr(end);
    return decimalDigits(tag.substr(1, end - 1), 1000000, TooLarge::Highest);
}

class CubaseRules
{
public:
    explicit CubaseRules(Diagnostics& problems) : m_problems(problems) {}

    void line(std::uint32_t number, std::string_view text)
    {
        m_number = number;
        text = trimBlanks(text);
        if (text.empty())
            return;
        const auto command = commandOf(text);
        if (++m_commands <= 2 && !header(command))
            return;
        if (m_ended) {
            if (!m_warnedAfterEnd)
                problem("a line after [end]: Cubase reads nothing after it");
            m_warnedAfterEnd = true;
            return;
        }
        if (!command) {
            problem("a line that is no [command]: Cubase ignores it");
            return;
        }
        body(*command);
    }

    void finish()
    {
        if (m_commands == 0)
            m_problems.warn(0, "the file is empty: Cubase takes no script from it");
        else if (!m_defined)
            m_problems.warn(0, "no [define patchnames]: Cubase finds no patch names in the script");
        else if (!m_ended)
            m_problems.warn(m_number, "no [end] after the last entry: Cubase may not take the script");
    }

private:
    void problem(std::string message) { m_problems.warn(m_number, std::move(message)); }

    /// The first two commands; false when the line is not the one Cubase expects there.
    bool header(const std::optional<Command>& command)
    {
        const bool first = m_commands == 1;
        const std::string_view expected = first ? "cubase parse file" : "parser version 0001";
        if (command && command->tag == expected && command->value.empty())
            return false;
        problem(std::string(first ? "the first" : "the second") + " line is not [" + std::string(expected) +
                "]: Cubase takes a script only with it there");
        return true;
    }

    void body(const Command& command)
    {
        std::string_view rest;
        if (const auto level = levelOf(command.tag, 'g', rest); level && rest.empty())
            return group(*level);
        if (const auto level = levelOf(command.tag, 'p', rest))
            return entry(*level, rest, command.value);
        if (command.tag == "define patchnames")
            m_defined = true;
        else if (command.tag == "end")
            m_ended = true;
        else if (command.tag.starts_with("mode") && isMode(command.tag.substr(4)))
            m_groupLevel = 0;
        else if (!command.tag.starts_with("bank: ") && !command.tag.starts_with("parser version") &&
                 std::find(kHeaderCommands.begin(), kHeaderCommands.end(), command.tag) ==
                     kHeaderCommands.end())
            problem("[" + std::string(command.tag) +
                    "] is no command of a patchname script: Cubase ignores it");
    }

    static bool isMode(std::string_view channel)
    {
        return channel.empty() || decimalDigits(channel, 16, TooLarge::Fails).value_or(0) > 0;
    }

    bool defined()
    {
        if (!m_defined && !m_warnedUndefined)
            problem("a group or entry before [define patchnames]: Cubase reads names only after it");
        m_warnedUndefined = m_warnedUndefined || !m_defined;
        return m_defined;
    }

    void group(std::uint64_t level)
    {
        if (defined() && level > m_groupLevel + 1)
            problem("group level " + std::to_string(level) + " follows level " +
                    std::to_string(m_groupLevel) + ": Cubase has no menu of level " +
                    std::to_string(level - 1) + " to put it in");
        m_groupLevel = level;
    }

    void entry(std::uint64_t level, std::string_view numbers, std::string_view name)
    {
        if (!defined())
            return;
        if (level > m_groupLevel + 1)
            problem("an entry of level " + std::to_string(level) + " under a group of level " +
                    std::to_string(m_groupLevel) + ": Cubase shows it in no menu");
        std::vector<std::string_view> fields;
        for (numbers = dropBlanks(numbers); !numbers.empty();) {
            const auto comma = numbers.find(',');
            fields.push_back(trimBlanks(numbers.substr(0, comma)));
            numbers = comma == std::string_view::npos ? std::string_view() : numbers.substr(comma + 1);
        }
        // "[p2, 0, 63, 0]": the level's own text is followed by ", program, msb, lsb".
        if (!fields.empty() && fields.front().empty())
            fields.erase(fields.begin());
        numbersOf(fields);
        if (name.empty())
            problem("an entry without a name: Cubase shows an empty line in the menu");
        if (name.find("\xEF\xBF\xBD") != std::string_view::npos)
            problem("the name " + inQuotes(name) +
                    " holds U+FFFD, a character lost before the script was written: Cubase shows it so");
    }

    void numbersOf(const std::vector<std::string_view>& fields)
    {
        if (fields.size() != 3) {
            problem("an entry with " + std::to_string(fields.size()) +
                    " of its three numbers (program, MSB, LSB): Cubase takes three");
            return;
        }
        static constexpr std::array<std::string_view, 3> kNames = {"program", "MSB", "LSB"};
        for (std::size_t i = 0; i < 3; ++i) {
            const auto value = signedDecimal(fields[i], -1000000, 1000000);
            const std::int64_t lowest = i == 0 ? 0 : -1;
            if (!value || *value < lowest || *value > 127)
                problem(std::string(kNames[i]) + " " + inQuotes(fields[i]) + " is outside " +
                        std::to_string(lowest) + " to 127: no MIDI message sends it");
        }
    }

    Diagnostics& m_problems;
    std::uint32_t m_number = 0;
    std::size_t m_commands = 0;
    std::uint64_t m_groupLevel = 0;
    bool m_defined = false;
    bool m_ended = false;
    bool m_warnedAfterEnd = false;
    bool m_warnedUndefined = false;
};

} // namespace

void checkForCubase(std::string_view bytes, Diagnostics& problems)
{
    CubaseRules rules(problems);
    LineCursor lines(withoutByteOrderMark(bytes));
    std::string_view line;
    while (lines.next(line))
        rules.line(lines.number(), line);
    rules.finish();
}

} // namespace quorvix
