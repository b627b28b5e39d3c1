#include "formats/midnam/MidnamLists.h"

#include "base/Encoding.h"
#include "base/Text.h"

#include <algorithm>
#include <array>

namespace quorvix::midnam {

namespace {

constexpr std::array<const char*, 3> kListElements = {"PatchNameList", "NoteNameList", "ControlNameList"};
constexpr std::array<const char*, 3> kListNouns = {"patch name list", "note name list", "control name list"};

struct ControlType
{
    std::string_view name;
    ControlKind kind;
    std::int32_t limit;
};
constexpr std::array<ControlType, kControlTypeCount> kControlTypes = {
    {{"7bit", ControlKind::Controller, 127},
     {"14bit", ControlKind::Controller14, 31},
     {"RPN", ControlKind::Rpn, 16383},
     {"NRPN", ControlKind::Nrpn, 16383}}};

bool named(pugi::xml_node node, std::string_view name)
{
    return name == node.name();
}

const void* key(pugi::xml_node node)
{
    return node.internal_object();
}

bool byNumber(const ReadControl& a, const ReadControl& b)
{
    return a.entry.number < b.entry.number;
}

} // namespace

Lists::Lists(const Source& source, ReadResult& result) : m_source(source), m_result(result)
{
    indexDocument();
}

void Lists::indexDocument()
{
    for (pugi::xml_node owner : m_source.root().children()) {
        forEachElement(owner, [&](pugi::xml_node node) {
            const std::string_view name = attributeText(node, "Name");
            for (std::size_t kind = 0; kind < kListElements.size(); ++kind) {
                if (!named(node, kListElements[kind]) || name.empty())
                    continue;
                auto& definitions = m_definitions[kind][name];
                if (!definitions.empty() && definitions.back().owner == owner)
                    warn(node, std::string(kListNouns[kind]) + " " + inQuotes(name) +
                                   " is defined twice; the later one counts");
                definitions.push_back({node, owner});
            }
        });
    }
}

void Lists::beginDevice(pugi::xml_node device)
{
    m_device = device;
    m_noteLists.clear();
    m_controlLists.clear();
    m_parsed.clear();
}

pugi::xml_node Lists::resolve(ListKind kind, pugi::xml_node uses)
{
    const auto k = static_cast<std::size_t>(kind);
    const std::string_view name = attributeText(uses, "Name");
    const auto found = m_definitions[k].find(name);
    if (found == m_definitions[k].end()) {
        warn(uses,
             std::string(kListNouns[k]) + " " + inQuotes(name) +
                 " is not in this file (lists of devices defined in other files are not read); left out");
        return {};
    }
    const auto& definitions = found->second;
    for (auto it = definitions.rbegin(); it != definitions.rend(); ++it) {
        if (it->owner == m_device)
            return it->node;
    }
    return definitions.back().node;
}

std::int32_t Lists::noteList(pugi::xml_node list)
{
    if (const auto found = m_noteLists.find(key(list)); found != m_noteLists.end())
        return found->second;
    const std::string_view listName = attributeText(list, "Name");
    if (m_result.set.noteLists.size() >= kMostNoteLists) {
        warn(list, "note name list " + inQuotes(listName) + " is left out: a document may use at most " +
                       std::to_string(kMostNoteLists) + " note name lists");
        m_noteLists.emplace(key(list), kNoList);
        return kNoList;
    }
    NoteList notes;
    notes.name = keepName(list, listName);
    std::array<std::int16_t, 128> slot;
    slot.fill(-1);
    auto take = [&](pugi::xml_node note) {
        const std::string_view name = attributeText(note, "Name");
        const pugi::xml_attribute number = note.attribute("Number");
        const auto value = attributeNumber(number);
        if (!value || *value < 0 || *value > 127) {
            warn(note, "note " + inQuotes(name) + ": number " + inQuotes(number.value()) +
                           " is not from 0 to 127; skipped");
            return;
        }
        std::int16_t& at = slot[static_cast<std::size_t>(*value)];
        if (at >= 0) {
            warn(note, "note " + std::to_string(*value) + " is named twice in note name list " +
                           inQuotes(listName) + " (" +
                           inQuotes(m_result.set.text(notes.notes[static_cast<std::size_t>(at)].name)) +
                           ", then " + inQuotes(name) + "); the first is kept");
            return;
        }
        at = static_cast<std::int16_t>(notes.notes.size());
        notes.notes.push_back(
            NameEntry{static_cast<std::uint16_t>(*value), keepText(note, note.attribute("Name").value())});
    };
    for (pugi::xml_node child : list.children()) {
        if (named(child, "Note")) {
            take(child);
        } else if (named(child, "NoteGroup")) {
            for (pugi::xml_node note : child.children("Note"))
                take(note);
        }
    }
    std::sort(notes.notes.begin(), notes.notes.end(),
              [](const NameEntry& a, const NameEntry& b) { return a.number < b.number; });
    const auto index = static_cast<std::int32_t>(m_result.set.noteLists.size());
    m_result.set.noteLists.push_back(std::move(notes));
    m_noteLists.emplace(key(list), index);
    return index;
}

ControlLists Lists::controlLists(pugi::xml_node list)
{
    if (const auto found = m_controlLists.find(key(list)); found != m_controlLists.end())
        return found->second;
    const std::string_view listName = attributeText(list, "Name");
    ControlsByType byType = readControls(list, listName);
    const ControlKind controllerKind = mergeControllers(byType);
    ControlLists made;
    made.controllers = makeControlList(list, listName, byType[0], controllerKind, {});
    made.rpns = makeControlList(list, listName, byType[2], ControlKind::Rpn, "RPN");
    made.nrpns = makeControlList(list, listName, byType[3], ControlKind::Nrpn, "NRPN");
    m_controlLists.emplace(key(list), made);
    return made;
}

Lists::ControlsByType Lists::readControls(pugi::xml_node list, std::string_view listName)
{
    ControlsByType byType;
    for (pugi::xml_node control : list.children("Control")) {
        const std::string_view name = attributeText(control, "Name");
        const pugi::xml_attribute typeAttribute = control.attribute("Type");
        const std::string_view type = typeAttribute ? trimmed(typeAttribute.value()) : "7bit";
        const auto* t = std::find_if(kControlTypes.begin(), kControlTypes.end(),
                                     [&](const ControlType& candidate) { return candidate.name == type; });
        if (t == kControlTypes.end()) {
            warn(control, "control " + inQuotes(name) + ": type " + inQuotes(type) +
                              " is none of 7bit, 14bit, RPN and NRPN; skipped");
            continue;
        }
        const pugi::xml_attribute number = control.attribute("Number");
        const auto value = attributeNumber(number);
        if (!value || *value < 0 || *value > t->limit) {
            warn(control, "control " + inQuotes(name) + ": " + std::string(type) + " number " +
                              inQuotes(number.value()) + " is not from 0 to " + std::to_string(t->limit) +
                              "; skipped");
            continue;
        }
        byType[static_cast<std::size_t>(t - kControlTypes.begin())].push_back(
            {NameEntry{static_cast<std::uint16_t>(*value),
                       keepText(control, control.attribute("Name").value())},
             control});
    }
    for (std::size_t t = 0; t < byType.size(); ++t) {
        auto& controls = byType[t];
        std::stable_sort(controls.begin(), controls.end(), byNumber);
        auto kept = controls.begin();
        for (auto it = controls.begin(); it != controls.end(); ++it) {
            if (it != controls.begin() && it->entry.number == (kept - 1)->entry.number) {
                warn(it->node, std::string(kControlTypes[t].name) + " control " +
                                   std::to_string(it->entry.number) +
                                   " is named twice in control name list " + inQuotes(listName) + " (" +
                                   inQuotes(m_result.set.text((kept - 1)->entry.name)) + ", then " +
                                   inQuotes(m_result.set.text(it->entry.name)) + "); the first is kept");
                continue;
            }
            *kept++ = *it;
        }
        controls.erase(kept, controls.end());
    }
    return byType;
}

ControlKind Lists::mergeControllers(ControlsByType& byType)
{
    // The model gives an instrument one controller list: 14-bit controllers stand in it on their own, or,
    // beside 7-bit ones, as the 7-bit controller that carries their MSB.
    auto& controllers = byType[0];
    if (controllers.empty()) {
        controllers.swap(byType[1]);
        return ControlKind::Controller14;
    }
    for (const ReadControl& control : byType[1]) {
        const std::string number = std::to_string(control.entry.number);
        const auto same = std::lower_bound(controllers.begin(), controllers.end(), control, byNumber);
        if (same != controllers.end() && same->entry.number == control.entry.number) {
            warn(control.node, "14-bit controller " + number + " is left out: controller " + number +
                                   " is named as a 7-bit one too");
            continue;
        }
        warn(control.node, "14-bit controller " + number + " is kept as 7-bit controller " + number +
                               " (its MSB), beside the list's 7-bit controllers");
        controllers.insert(same, control);
    }
    return ControlKind::Controller;
}

std::int32_t Lists::makeControlList(pugi::xml_node list, std::string_view listName,
                                    const std::vector<ReadControl>& controls, ControlKind kind,
                                    std::string_view suffix)
{
    if (controls.empty())
        return kNoList;
    ControlList made;
    made.kind = kind;
    made.name = keepName(list, suffix.empty()     ? std::string(listName)
                               : listName.empty() ? std::string(suffix)
                                                  : std::string(listName) + " (" + std::string(suffix) + ")");
    for (const ReadControl& control : controls)
        made.controls.push_back(control.entry);
    m_result.set.controlLists.push_back(std::move(made));
    return static_cast<std::int32_t>(m_result.set.controlLists.size() - 1);
}

Commands Lists::commands(pugi::xml_node element, std::string_view owner)
{
    Commands sent;
    bool warned = false;
    for (pugi::xml_node message : element.children()) {
        const std::string_view kind = message.name();
        if (message.type() != pugi::node_element || kind == "MIDIDelay")
            continue;
        if (kind == "ControlChange") {
            const auto control = attributeNumber(message.attribute("Control"));
            if (control == 0 || control == 32) {
                const pugi::xml_attribute value = message.attribute("Value");
                const auto number = attributeNumber(value);
                if (!number || *number < 0 || *number > 127) {
                    warn(message, std::string(owner) + ": bank select value " + inQuotes(value.value()) +
                                      " is not from 0 to 127; ignored");
                    continue;
                }
                (control == 0 ? sent.msb : sent.lsb) = static_cast<std::int16_t>(*number);
                continue;
            }
        } else if (kind == "ProgramChange") {
            sent.program = attributeNumber(message.attribute("Number"));
            sent.programAt = message;
            continue;
        }
        if (!warned) {
            warn(message, std::string(owner) + ": <" + std::string(kind) +
                              "> is not kept (only bank select and program change are)");
            warned = true;
        }
    }
    return sent;
}

TextRef Lists::keepName(pugi::xml_node at, std::string_view text)
{
    return keepText(at, trimmed(text));
}

TextRef Lists::keepText(pugi::xml_node at, std::string_view text)
{
    if (text.empty())
        return {};
    if (isValidUtf8(text))
        return m_result.set.keep(text);
    if (!m_warnedEncoding) {
        m_warnedEncoding = true;
        warn(at, "a name is not valid UTF-8; it and any others like it are read as Windows-1252");
    }
    return m_result.set.keep(windows1252ToUtf8(text));
}

void Lists::warn(pugi::xml_node at, std::string message)
{
    m_result.warnings.warn(m_source.at(at), std::move(message));
}

void Lists::warn(pugi::xml_attribute at, std::string message)
{
    m_result.warnings.warn(m_source.at(at), std::move(message));
}

} // namespace quorvix::midnam
