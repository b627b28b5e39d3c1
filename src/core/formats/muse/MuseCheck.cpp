#include "formats/muse/MuseCheck.h"

#include "base/Text.h"
#include "formats/xml/XmlEvents.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace quorvix {

namespace {

using xml::Attribute;
using xml::has;
using xml::numberOf;
using xml::valueOf;

constexpr std::array<std::string_view, 11> kControllerTypes = {
    "Control7", "Control", "Control14",      "RPN",       "NRPN", "RPN14", "NRPN14",
    "Pitch",    "Program", "PolyAftertouch", "Aftertouch"};

class MuseRules final : public xml::Events
{
public:
    explicit MuseRules(Diagnostics& problems) : m_problems(problems) {}

    void start(std::string_view name, std::span<const Attribute> attributes, SourcePos at) override
    {
        m_line = at.line;
        m_sawMuse = m_sawMuse || name == "muse";
        if (name == "MidiInstrument")
            instrument(attributes);
        else if (name == "Patch")
            patch(attributes);
        else if (name == "Controller")
            controller(attributes);
        else if (name == "patch_collection")
            collection(attributes);
    }

    void end(std::string_view) override {}

    bool sawMuse() const { return m_sawMuse; }

private:
    void problem(std::string message) { m_problems.warn(m_line, std::move(message)); }

    void instrument(std::span<const Attribute> attributes)
    {
        m_patches.clear();
        const std::string name(valueOf(attributes, "name"));
        if (name.empty()) {
            problem("a <MidiInstrument> without a name: MusE offers it under an empty name");
            return;
        }
        const auto [at, fresh] = m_instruments.try_emplace(name, m_line);
        if (!fresh)
            problem("instrument " + inQuotes(name) + " is named again (first on line " +
                    std::to_string(at->second) + "): MusE keeps the first and ignores this one");
    }

    /// The attribute as MusE keeps it, in a signed byte; -1 when absent ("don't care").
    int byteOf(std::span<const Attribute> attributes, std::string_view name)
    {
        if (!has(attributes, name))
            return -1;
        const auto value = numberOf(attributes, name);
        if (!value) {
            problem(std::string(name) + " " + inQuotes(valueOf(attributes, name)) +
                    " is no number: MusE reads it as 0");
            return 0;
        }
        const auto kept = static_cast<signed char>(static_cast<unsigned>(*value) & 0xFFu);
        if (*value < -1 || *value > 127)
            problem(std::string(name) + " " + std::to_string(*value) +
                    " is outside 0 to 127: MusE keeps it as " + std::to_string(kept) +
                    (kept < 0 ? " (not sent)" : ""));
        return kept < 0 ? -1 : kept;
    }

    void patch(std::span<const Attribute> attributes)
    {
        const auto key = std::make_tuple(byteOf(attributes, "hbank"), byteOf(attributes, "lbank"),
                                         byteOf(attributes, "prog"), valueOf(attributes, "drum") == "1");
        const auto [at, fresh] = m_patches.try_emplace(key, m_line);
        if (!fresh && std::get<2>(key) >= 0)
            problem("patch " + inQuotes(valueOf(attributes, "name")) +
                    " has the numbers of the patch on line " + std::to_string(at->second) +
                    ": MusE finds that one only");
    }

    void controller(std::span<const Attribute> attributes)
    {
        const std::string_view type = valueOf(attributes, "type");
        if (has(attributes, "type") &&
            std::find(kControllerTypes.begin(), kControllerTypes.end(), type) == kControllerTypes.end())
            problem("controller type " + inQuotes(type) +
                    " is none MusE knows: it reads the controller as "
                    "Control7");
    }

    void collection(std::span<const Attribute> attributes)
    {
        const std::string_view programs = valueOf(attributes, "prog");
        if (const auto dash = programs.find('-'); dash != std::string_view::npos && dash > 0)
            problem("patch_collection prog " + inQuotes(programs) + ": MusE takes only its first program, " +
                    std::string(programs.substr(0, dash)));
    }

    Diagnostics& m_problems;
    std::uint32_t m_line = 0;
    bool m_sawMuse = false;
    std::map<std::string, std::uint32_t> m_instruments;
    std::map<std::tuple<int, int, int, bool>, std::uint32_t> m_patches;
};

/// What MusE's own parser reads otherwise than XML, found in the bytes (the XML parser hides it): numeric
/// character references ("&#233;"), which it drops, and attribute values in single quotes, which it does not
/// read. One problem of each kind a line.
void rawText(std::string_view bytes, Diagnostics& problems)
{
    std::uint32_t line = 1;
    std::uint32_t reference = 0;
    std::uint32_t quote = 0;
    bool inTag = false;
    char value = 0; // the quote of the attribute value being read, if any
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
        if (c == '\n')
            ++line;
        if (c == '&' && next == '#' && line != reference) {
            problems.warn(line, "a numeric character reference (&#...;): MusE drops it from the text");
            reference = line;
        }
        if (value != 0) {
            value = c == value ? 0 : value;
        } else if (inTag && c == '=' && (next == '"' || next == '\'')) {
            value = next;
            ++i;
            if (next == '\'' && line != quote) {
                problems.warn(line,
                              "an attribute value in single quotes: MusE reads only double-quoted values");
                quote = line;
            }
        } else {
            // The declaration and a DOCTYPE are no element: MusE skips everything before <muse>.
            inTag = c == '<' ? next != '?' && next != '!' : c == '>' ? false : inTag;
        }
    }
}

} // namespace

void checkForMuse(std::string_view bytes, Diagnostics& problems)
{
    // MusE's own parser reads files that are not well-formed XML: they are read as libxml2 recovers them.
    MuseRules rules(problems);
    xml::parse(bytes, rules, xml::Leniency::Recover);
    if (!rules.sawMuse())
        problems.warn(0, "no <muse> element: MusE reads no instrument of the file");
    rawText(bytes, problems);
    problems.sortByLine();
}

} // namespace quorvix
