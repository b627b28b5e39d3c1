#include "model/AddedNames.h"

#include "base/Encoding.h"
#include "model/NamedNumbers.h"

#include <array>
#include <map>
#include <set>
#include <string>

namespace quorvix {

namespace {

/// Names of another set as texts of this one.
class Names
{
public:
    Names(InstrumentSet& set, const InstrumentSet& from, NamesAdded& added)
        : m_set(set), m_from(from), m_added(added)
    {}

    /// The text of `ref` (a name of `from`) in the set's encoding.
    std::string text(TextRef ref) const
    {
        const std::string_view text = m_from.text(ref);
        if (m_from.encoding == m_set.encoding)
            return std::string(text);
        if (m_set.encoding == TextEncoding::Utf8)
            return windows1252ToUtf8(text);
        std::size_t lost = 0;
        std::string converted = utf8ToWindows1252(text, '?', &lost);
        m_added.changed += lost > 0 ? 1 : 0;
        return converted;
    }

    /// Adds the name of `number` unless `names` has one; a different one there is a clash.
    template <typename Table, typename... Kind>
    void add(Table& names, TextRef ref, std::uint16_t number, Kind... kind) const
    {
        const std::string name = text(ref);
        if (const TextRef* own = names.find(kind..., number)) {
            m_added.clashes += m_set.text(*own) != name ? 1 : 0;
            return;
        }
        names.add(kind..., number, m_set.keep(name));
    }

    TextRef keep(TextRef ref) const { return m_set.keep(text(ref)); }

private:
    InstrumentSet& m_set;
    const InstrumentSet& m_from;
    NamesAdded& m_added;
};

bool validList(const auto& lists, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < lists.size();
}

/// Every control list of the set that holds names: the instruments' lists, then the devices' spare ones.
std::vector<std::int32_t> controlListsOf(const InstrumentSet& set)
{
    std::vector<std::int32_t> lists;
    for (const Instrument& instrument : set.instruments)
        for (const std::int32_t list : {instrument.controllers, instrument.rpns, instrument.nrpns})
            if (validList(set.controlLists, list))
                lists.push_back(list);
    for (const Device& device : set.devices)
        for (const std::int32_t list : device.spareControlLists)
            if (validList(set.controlLists, list))
                lists.push_back(list);
    return lists;
}

} // namespace

bool holdsControlNames(const InstrumentSet& from)
{
    for (const std::int32_t list : controlListsOf(from))
        if (!from.controlLists[static_cast<std::size_t>(list)].controls.empty())
            return true;
    return false;
}

NamesAdded addControlNames(InstrumentSet& set, std::span<const std::size_t> chosen, const InstrumentSet& from)
{
    NamesAdded added;
    const Names names(set, from, added);
    ControlNames source;
    TextRef sourceName;
    for (const std::int32_t list : controlListsOf(from)) {
        source.addList(from, list);
        if (sourceName.empty())
            sourceName = from.controlLists[static_cast<std::size_t>(list)].name;
    }
    using Lists = std::array<std::int32_t, 3>;
    std::map<Lists, Lists> made; // an instrument's lists, and the lists made of them
    for (const std::size_t index : chosen) {
        Instrument& instrument = set.instruments[index];
        const Lists own{instrument.controllers, instrument.rpns, instrument.nrpns};
        if (const auto found = made.find(own); found != made.end()) {
            instrument.controllers = found->second[0];
            instrument.rpns = found->second[1];
            instrument.nrpns = found->second[2];
            continue;
        }
        ControlNames merged;
        TextRef name;
        for (const std::int32_t list : own) {
            merged.addList(set, list);
            if (name.empty() && validList(set.controlLists, list))
                name = set.controlLists[static_cast<std::size_t>(list)].name;
        }
        if (name.empty() && !sourceName.empty())
            name = names.keep(sourceName);
        source.forEach([&](ControlKind kind, const NameEntry& entry) {
            names.add(merged, entry.name, entry.number, kind);
        });
        merged.makeLists(set, instrument, name);
        made.emplace(own, Lists{instrument.controllers, instrument.rpns, instrument.nrpns});
    }
    return added;
}

const NoteList* drumNotesOf(const InstrumentSet& from, std::size_t* lists)
{
    if (lists != nullptr) {
        *lists = 0;
        for (const NoteList& list : from.noteLists)
            *lists += list.notes.empty() ? 0 : 1;
    }
    const auto named = [&](std::int32_t index) {
        return validList(from.noteLists, index) &&
                       !from.noteLists[static_cast<std::size_t>(index)].notes.empty()
                   ? &from.noteLists[static_cast<std::size_t>(index)]
                   : nullptr;
    };
    for (const Instrument& instrument : from.instruments) {
        if (const NoteList* list = named(instrument.noteList))
            return list;
        for (const Bank& bank : instrument.banks)
            if (const PatchList* patches = from.patchListOf(bank))
                for (const Patch& patch : patches->patches)
                    if (const NoteList* list = named(patch.noteList))
                        return list;
    }
    for (const Device& device : from.devices)
        for (const std::int32_t index : device.spareNoteLists)
            if (const NoteList* list = named(index))
                return list;
    return nullptr;
}

NamesAdded addDrumNotes(InstrumentSet& set, std::span<const std::size_t> chosen, const InstrumentSet& from,
                        const NoteList& notes)
{
    NamesAdded added;
    const Names names(set, from, added);
    std::map<std::int32_t, std::int32_t> made; // a list of the set, and the list made of it
    std::set<std::int32_t> madeLists;
    const auto merged = [&](std::int32_t index) {
        if (madeLists.count(index) > 0)
            return index;
        if (const auto found = made.find(index); found != made.end())
            return found->second;
        NoteNames both;
        both.addList(set, index);
        for (const NameEntry& note : notes.notes)
            names.add(both, note.name, note.number);
        const NoteList& own = set.noteLists[static_cast<std::size_t>(index)];
        const std::int32_t list = both.makeList(set, own.name, own.device);
        made.emplace(index, list);
        madeLists.insert(list);
        return list;
    };
    for (const std::size_t index : chosen) {
        Instrument& instrument = set.instruments[index];
        bool drums = validList(set.noteLists, instrument.noteList);
        if (drums)
            instrument.noteList = merged(instrument.noteList);
        for (const Bank& bank : instrument.banks)
            if (validList(set.patchLists, bank.patchList))
                for (Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches)
                    if (validList(set.noteLists, patch.noteList)) {
                        patch.noteList = merged(patch.noteList);
                        drums = true;
                    }
        if (drums)
            continue;
        NoteNames copy;
        for (const NameEntry& note : notes.notes)
            names.add(copy, note.name, note.number);
        const TextRef name = names.keep(notes.name);
        if (set.voiceCount(instrument) == 0) {
            instrument.noteList = copy.makeList(set, name);
            continue;
        }
        if (!validList(set.devices, instrument.device)) {
            Device device;
            device.model = instrument.name;
            set.devices.push_back(std::move(device));
            instrument.device = static_cast<std::int32_t>(set.devices.size() - 1);
        }
        const std::int32_t list = copy.makeList(set, name, instrument.device);
        set.devices[static_cast<std::size_t>(instrument.device)].spareNoteLists.push_back(list);
        added.withoutDrums.push_back(index);
    }
    return added;
}

} // namespace quorvix
