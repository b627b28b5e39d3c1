#include "formats/rosegarden/RosegardenCheck.h"

#include "base/Gzip.h"
#include "base/InputFile.h"
#include "base/Text.h"
#include "formats/xml/XmlEvents.h"

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quorvix {

namespace {

using xml::Attribute;
using xml::has;
using xml::numberOf;
using xml::valueOf;

class RosegardenRules final : public xml::Events
{
public:
    explicit RosegardenRules(Diagnostics& problems) : m_problems(problems) {}

    void start(std::string_view name, std::span<const Attribute> attributes, SourcePos at) override
    {
        m_line = at.line;
        const std::string parent = m_open.empty() ? std::string() : m_open.back();
        m_open.emplace_back(name);
        if (parent.empty())
            root(name, attributes);
        else if (name == "device")
            device(parent, attributes);
        else if (name == "bank" && parent == "device")
            bank(attributes);
        else if (name == "program" && parent == "bank")
            program(attributes);
        else if (name == "control" && parent != "controls")
            problem("a <control> outside <controls>: Rosegarden stops reading the file (\"Found "
                    "ControlParameter outside Controls block\")");
        else if (name == "keymapping" && parent == "device")
            m_keymap = Keymap{std::string(valueOf(attributes, "name")), m_line, 0};
        else if (name == "key" && parent == "keymapping")
            key(attributes);
    }

    void end(std::string_view name) override
    {
        if (!m_open.empty())
            m_open.pop_back();
        if (name == "keymapping" && m_keymap) {
            if (m_keymap->keys == 0)
                m_problems.warn(m_keymap->line, "key mapping " + inQuotes(m_keymap->name) +
                                                    " holds no key: Rosegarden drops it");
            else
                m_keymaps.insert(m_keymap->name);
            m_keymap.reset();
        } else if (name == "device") {
            endDevice();
        }
    }

private:
    struct Keymap
    {
        std::string name;
        std::uint32_t line = 0;
        std::size_t keys = 0;
    };

    void problem(std::string message) { m_problems.warn(m_line, std::move(message)); }

    void root(std::string_view name, std::span<const Attribute> attributes)
    {
        if (name != "rosegarden-data") {
            problem("the root element is <" + std::string(name) +
                    ">, not <rosegarden-data>: Rosegarden "
                    "reads no device of the file");
            return;
        }
        const auto major = numberOf(attributes, "format-version-major");
        const auto minor = numberOf(attributes, "format-version-minor");
        if (major && *major > 1)
            problem("format-version-major " + std::to_string(*major) +
                    " is above 1: Rosegarden refuses the file");
        else if (major && minor && *minor > 7)
            problem("format-version-minor " + std::to_string(*minor) +
                    " is above 7: Rosegarden warns that the file is of a newer version");
    }

    void device(const std::string& parent, std::span<const Attribute> attributes)
    {
        m_banks.clear();
        m_keymaps.clear();
        m_usedKeymaps.clear();
        if (parent != "studio")
            problem("a <device> outside <studio>: Rosegarden stops reading the file (\"Found Device outside "
                    "Studio\")");
        if (!has(attributes, "id"))
            problem("a <device> without id: Rosegarden stops reading the file (\"No ID on Device tag\")");
        const std::string_view type = valueOf(attributes, "type");
        if (type != "midi" && type != "softsynth" && type != "audio")
            problem("device type " + inQuotes(type) +
                    " is none of midi, softsynth and audio: Rosegarden stops reading the file");
        else if (type == "midi" && valueOf(attributes, "name").empty())
            problem("a MIDI device without name: Rosegarden makes no device of it");
    }

    void bank(std::span<const Attribute> attributes)
    {
        const bool percussion = equalsNoCase(valueOf(attributes, "percussion"), "true");
        const int msb = byteOf(attributes, "msb", "bank MSB");
        const int lsb = byteOf(attributes, "lsb", "bank LSB");
        m_bank = {percussion, msb, lsb};
    }

    /// The attribute as Rosegarden keeps it, in a byte; a value beyond 127 is a problem.
    int byteOf(std::span<const Attribute> attributes, std::string_view name, std::string_view what)
    {
        const int value = numberOf(attributes, name).value_or(0);
        if (value < 0 || value > 127)
            problem(std::string(what) + " " + std::to_string(value) +
                    " is outside 0 to 127: Rosegarden keeps it as the byte " +
                    std::to_string(static_cast<unsigned char>(value)) + " and sends no such value");
        return static_cast<unsigned char>(value);
    }

    void program(std::span<const Attribute> attributes)
    {
        const int id = byteOf(attributes, "id", "program id");
        const auto [at, fresh] = m_banks[m_bank].try_emplace(id, m_line);
        if (!fresh)
            problem("program " + std::to_string(id) + " of bank MSB " + std::to_string(std::get<1>(m_bank)) +
                    " LSB " + std::to_string(std::get<2>(m_bank)) +
                    (std::get<0>(m_bank) ? " (percussion)" : "") + " is given again (first on line " +
                    std::to_string(at->second) + "): Rosegarden refuses the duplicate");
        if (const std::string_view keymap = valueOf(attributes, "keymapping"); !keymap.empty())
            m_usedKeymaps.emplace_back(std::string(keymap), m_line);
    }

    void key(std::span<const Attribute> attributes)
    {
        const auto number = numberOf(attributes, "number");
        if (!number || !has(attributes, "name")) {
            problem("a <key> without number or name: Rosegarden ignores it");
            return;
        }
        if (*number < 0 || *number > 127)
            problem("key " + std::to_string(*number) + " is outside 0 to 127: no note plays it");
        if (m_keymap)
            ++m_keymap->keys;
    }

    void endDevice()
    {
        for (const auto& [name, line] : m_usedKeymaps)
            if (m_keymaps.count(name) == 0)
                m_problems.warn(line,
                                "keymapping " + inQuotes(name) +
                                    " names no key mapping of the device: Rosegarden shows no note names "
                                    "for the program");
        m_usedKeymaps.clear();
    }

    Diagnostics& m_problems;
    std::uint32_t m_line = 0;
    std::vector<std::string> m_open;
    std::tuple<bool, int, int> m_bank{false, 0, 0};
    std::map<std::tuple<bool, int, int>, std::map<int, std::uint32_t>> m_banks;
    std::optional<Keymap> m_keymap;
    std::set<std::string> m_keymaps;
    std::vector<std::pair<std::string, std::uint32_t>> m_usedKeymaps;
};

} // namespace

void checkForRosegarden(std::string_view bytes, Diagnostics& problems)
{
    std::string unpacked;
    if (isGzip(bytes)) {
        Unpacked content = gunzip(bytes, kMaxInputSize, kMaxInputSizeText);
        if (!content.ok()) {
            problems.warn(0, "Rosegarden cannot unpack the file: " + content.error);
            return;
        }
        unpacked = std::move(content.bytes);
        bytes = unpacked;
    }
    Diagnostics found;
    RosegardenRules rules(found);
    const auto error = xml::parse(bytes, rules, xml::Leniency::Strict);
    for (const Diagnostic& problem : found.list())
        problems.warn(problem.at, problem.message);
    if (error)
        problems.warn(error->at.line, "Rosegarden cannot read the file: " + error->message);
    problems.sortByLine();
}

} // namespace quorvix
