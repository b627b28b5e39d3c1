#include "formats/midnam/MidnamCheck.h"

#include "base/Text.h"
#include "formats/midnam/ArdourModels.h"
#include "formats/midnam/MidnamSource.h"
#include "formats/midnam/XmlStream.h"

#include <cstring>
#include <map>
#include <set>
#include <string>

namespace quorvix {

namespace {

using midnam::attributeNumber;
using midnam::attributeText;
using midnam::forEachElement;
using midnam::trimmed;

bool named(pugi::xml_node node, const char* name)
{
    return std::strcmp(node.name(), name) == 0;
}

/// The rules of Ardour's MIDNAM reader over one parsed document.
class ArdourRules
{
public:
    ArdourRules(const midnam::Source& source, Diagnostics& problems) : m_source(source), m_problems(problems)
    {}

    void run(pugi::xml_node root)
    {
        forEachElement(root, [&](pugi::xml_node node) { visit(node); });
        document(root);
        patchListsFound();
        noteListsFound();
        m_problems.sortByLine();
    }

private:
    void problem(pugi::xml_node node, std::string message)
    {
        m_problems.warn(m_source.at(node).line, std::move(message));
    }

    std::uint32_t lineOf(pugi::xml_node node) const { return m_source.at(node).line; }

    void visit(pugi::xml_node node)
    {
        if (named(node, "Author"))
            ++m_authors;
        else if (named(node, "Manufacturer"))
            m_manufacturers.push_back(node);
        else if (named(node, "MasterDeviceNames"))
            once(node, m_device, "a second <MasterDeviceNames>",
                 "Ardour merges the lists of every device of a document");
        else if (named(node, "CustomDeviceMode"))
            once(node, m_mode, "a second <CustomDeviceMode>",
                 "Ardour merges the channel assignments of every mode of a document");
        else if (named(node, "Model"))
            m_modelNodes.push_back(node);
        else if (named(node, "ChannelNameSetAssign"))
            channel(node);
        else if (named(node, "PatchNameList") && named(node.parent(), "MasterDeviceNames") &&
                 node.find_child([](pugi::xml_node child) { return child.type() == pugi::node_element; }))
            m_patchLists.insert(std::string(attributeText(node, "Name"))); // Ardour drops an empty one
        else if (named(node, "PatchBank"))
            bank(node);
        else if (named(node, "Patch") && !node.attribute("Name"))
            problem(node, "a <Patch> without Name: Ardour drops it");
        else if (named(node, "NoteNameList"))
            noteList(node);
        else if (named(node, "UsesNoteNameList"))
            m_usedNoteLists.emplace_back(std::string(attributeText(node, "Name")), lineOf(node));
        else if (named(node, "ControlNameList"))
            controlList(node);
    }

    /// Reports every element of a kind after the first.
    void once(pugi::xml_node node, pugi::xml_node& first, const char* what, const char* why)
    {
        if (first)
            problem(node, std::string(what) + " (the first is on line " + std::to_string(lineOf(first)) +
                              "): " + why);
        else
            first = node;
    }

    void document(pugi::xml_node root)
    {
        if (m_authors == 0)
            problem(root,
                    "no <Author>: Ardour rejects the document (\"No author information in MIDNAM file\")");
        // Ardour reads the manufacturer document-wide for each device, expecting one.
        if (m_device && m_manufacturers.empty())
            problem(m_device, "no <Manufacturer>: Ardour expects one in the document");
        for (std::size_t i = 1; m_device && i < m_manufacturers.size(); ++i)
            problem(m_manufacturers[i],
                    "a second <Manufacturer> (the first is on line " +
                        std::to_string(lineOf(m_manufacturers.front())) +
                        "): Ardour expects one in the document and takes the first for every "
                        "device");
        // Models, as the manufacturer, count where the document has a device of its own.
        for (std::size_t i = 0; m_device && i < m_modelNodes.size(); ++i)
            model(m_modelNodes[i]);
        if (m_modelNodes.empty() && m_device)
            problem(m_device, "no <Model>: Ardour offers the device under no model name");
        if (m_device && !m_mode)
            problem(m_device, "no <CustomDeviceMode>: Ardour shows the Generic names for this model");
    }

    void model(pugi::xml_node node)
    {
        const pugi::xml_node text = node.first_child();
        if (!text || text.type() != pugi::node_pcdata || text.next_sibling()) {
            problem(node, "<Model> is not one plain text: Ardour expects exactly one text in it");
            return;
        }
        const std::string name(trimmed(text.value()));
        if (name.empty()) {
            problem(node, "an empty <Model>: Ardour offers the device under an empty name");
            return;
        }
        const auto [at, fresh] = m_models.try_emplace(name, lineOf(node));
        if (!fresh)
            problem(node, "model " + inQuotes(name) + " is named again (first on line " +
                              std::to_string(at->second) + "): Ardour ignores a model it has loaded already");
        else if (isArdourModel(name))
            problem(node, "model " + inQuotes(name) +
                              " is the model of a document Ardour installs: Ardour keeps the one of the two "
                              "files it loads first and ignores the other");
    }

    void channel(pugi::xml_node node)
    {
        const auto number = attributeNumber(node.attribute("Channel"));
        if (!number || *number < 1 || *number > 16)
            problem(node, "ChannelNameSetAssign Channel " + inQuotes(attributeText(node, "Channel")) +
                              " is outside 1 to 16, the channels Ardour assigns");
    }

    void bank(pugi::xml_node node)
    {
        const std::string name(attributeText(node, "Name"));
        long number = 0;
        for (pugi::xml_node command : node.child("MIDICommands").children()) {
            if (command.type() != pugi::node_element)
                continue;
            const auto control = attributeNumber(command.attribute("Control"));
            const auto value = attributeNumber(command.attribute("Value")).value_or(0);
            if (named(command, "ControlChange") && control == 0)
                number += 128L * value;
            else if (named(command, "ControlChange") && control == 32)
                number += value;
            else
                problem(command, "bank " + inQuotes(name) + ": Ardour ignores <" + command.name() +
                                     "> in a bank's MIDICommands; it selects banks by CC0 and CC32 only");
        }
        const pugi::xml_node uses = node.child("UsesPatchNameList");
        if (!uses && !node.child("PatchNameList")) {
            problem(node, "bank " + inQuotes(name) + " has no patch list: Ardour keeps it empty");
            return;
        }
        if (!uses)
            return;
        const std::string list(attributeText(uses, "Name"));
        m_usedPatchLists.emplace_back(list, lineOf(uses));
        const auto [first, fresh] = m_listBanks.try_emplace(list, Used{name, number});
        if (!fresh && first->second.number != number)
            problem(node, "banks " + inQuotes(first->second.bank) + " (" +
                              std::to_string(first->second.number) + ") and " + inQuotes(name) + " (" +
                              std::to_string(number) + ") share patch list " + inQuotes(list) +
                              ": Ardour gives its patches the number of one bank only");
    }

    void noteList(pugi::xml_node node)
    {
        const std::string name(attributeText(node, "Name"));
        m_noteLists.insert(name);
        std::map<long, std::uint32_t> seen;
        forEachElement(node, [&](pugi::xml_node inner) {
            if (named(inner, "NoteGroup") && named(inner.parent(), "NoteGroup"))
                problem(inner, "a <NoteGroup> inside a <NoteGroup>: Ardour reads one level of groups only");
            if (!named(inner, "Note"))
                return;
            const auto number = attributeNumber(inner.attribute("Number"));
            if (!number || *number < 0 || *number > 127) {
                problem(inner, "note " + inQuotes(attributeText(inner, "Number")) + " of list " +
                                   inQuotes(name) + " is outside 0 to 127: Ardour drops it");
                return;
            }
            const auto [at, fresh] = seen.try_emplace(*number, lineOf(inner));
            if (!fresh)
                problem(inner, "note " + std::to_string(*number) + " of list " + inQuotes(name) +
                                   " is named again (first on line " + std::to_string(at->second) +
                                   "): Ardour drops it");
        });
    }

    /// Ardour leaves NRPN controls out and takes every other for a controller of its number.
    void controlList(pugi::xml_node list)
    {
        const std::string name(attributeText(list, "Name"));
        std::map<long, std::uint32_t> seen;
        pugi::xml_node firstNrpn;
        std::size_t nrpns = 0;
        for (pugi::xml_node control : list.children("Control")) {
            const std::string_view type = control.attribute("Type").value();
            const std::string number(attributeText(control, "Number"));
            if (type == "NRPN") {
                firstNrpn = nrpns++ == 0 ? control : firstNrpn;
                continue;
            }
            if (control.attribute("Type") && type != "7bit" && type != "14bit")
                problem(control, "control " + number + " of Type " + inQuotes(type) + " " +
                                     inQuotes(control.attribute("Name").value()) +
                                     ": Ardour takes it for controller " + number);
            const auto value = attributeNumber(control.attribute("Number"));
            if (!value)
                continue;
            const auto [at, fresh] = seen.try_emplace(*value, lineOf(control));
            if (!fresh)
                problem(control, "controller " + number + " is named again in list " + inQuotes(name) +
                                     " (first on line " + std::to_string(at->second) +
                                     "): Ardour ignores it");
        }
        if (nrpns > 0)
            problem(firstNrpn, std::to_string(nrpns) + (nrpns == 1 ? " NRPN name" : " NRPN names") +
                                   " of list " + inQuotes(name) +
                                   ", from here on: Ardour leaves NRPN controls out");
    }

    void patchListsFound()
    {
        for (const auto& [name, line] : m_usedPatchLists)
            if (m_patchLists.count(name) == 0)
                m_problems.warn(line,
                                "UsesPatchNameList " + inQuotes(name) +
                                    " names no PatchNameList of <MasterDeviceNames>: Ardour ignores the "
                                    "whole file (\"Patch list name " +
                                    name + " was not found\")");
    }

    void noteListsFound()
    {
        for (const auto& [name, line] : m_usedNoteLists)
            if (m_noteLists.count(name) == 0)
                m_problems.warn(line, "UsesNoteNameList " + inQuotes(name) +
                                          " names no NoteNameList: Ardour shows no note names for it");
    }

    struct Used
    {
        std::string bank;
        long number = 0;
    };

    const midnam::Source& m_source;
    Diagnostics& m_problems;
    std::size_t m_authors = 0;
    std::vector<pugi::xml_node> m_modelNodes;
    std::vector<pugi::xml_node> m_manufacturers;
    pugi::xml_node m_device;
    pugi::xml_node m_mode;
    std::map<std::string, std::uint32_t> m_models;
    std::set<std::string> m_patchLists;
    std::set<std::string> m_noteLists;
    std::map<std::string, Used> m_listBanks;
    std::vector<std::pair<std::string, std::uint32_t>> m_usedPatchLists;
    std::vector<std::pair<std::string, std::uint32_t>> m_usedNoteLists;
};

} // namespace

void checkForArdour(std::string_view bytes, Diagnostics& problems)
{
    const midnam::Source source{std::string(bytes)};
    if (const auto& error = source.error()) {
        problems.warn(error->at.line, "Ardour cannot read the document: " + error->message);
        return;
    }
    const pugi::xml_node root = source.root();
    if (!named(root, "MIDINameDocument")) {
        problems.warn(source.at(root).line, std::string("the root element is <") + root.name() +
                                                ">, not <MIDINameDocument>: Ardour reads no device of it");
        return;
    }
    ArdourRules(source, problems).run(root);
}

} // namespace quorvix
