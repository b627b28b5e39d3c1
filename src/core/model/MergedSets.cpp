#include "model/MergedSets.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>

namespace quorvix {

namespace {

/// Appends sets to one, sharing the lists that an earlier set holds alike. A list is known by a key: its
/// name, its device and its entries, each text with its length before it.
class Merger
{
public:
    explicit Merger(InstrumentSet& into) : m_into(into)
    {
        for (std::size_t i = 0; i < into.noteLists.size(); ++i)
            m_known.try_emplace(keyOf(into, into.noteLists[i], into.noteLists[i].device), index(i));
        for (std::size_t i = 0; i < into.controlLists.size(); ++i)
            m_known.try_emplace(keyOf(into, into.controlLists[i], into.controlLists[i].device), index(i));
        for (std::size_t i = 0; i < into.patchLists.size(); ++i)
            m_known.try_emplace(keyOf(into, into.patchLists[i]), index(i));
    }

    void append(const InstrumentSet& from);

private:
    static std::int32_t index(std::size_t i) { return static_cast<std::int32_t>(i); }

    /// A text of `from` in the merged set's encoding.
    std::string_view textOf(const InstrumentSet& from, TextRef ref)
    {
        if (from.encoding == m_into.encoding)
            return from.text(ref);
        m_scratch = from.utf8(ref);
        return m_scratch;
    }
    TextRef copy(const InstrumentSet& from, TextRef ref)
    {
        return ref.empty() ? TextRef{} : m_into.keep(textOf(from, ref));
    }
    static std::int32_t moved(std::int32_t index, const std::vector<std::int32_t>& map)
    {
        return index >= 0 && static_cast<std::size_t>(index) < map.size()
                   ? map[static_cast<std::size_t>(index)]
                   : kNoList;
    }

    void addText(std::string& key, const InstrumentSet& from, TextRef ref)
    {
        const std::string_view text = textOf(from, ref);
        key += std::to_string(text.size());
        key += ':';
        key += text;
    }
    template <typename List>
    std::string keyOf(const InstrumentSet& from, const List& list, std::int32_t device)
    {
        std::string key = std::is_same_v<List, NoteList> ? "n" : "c";
        if constexpr (std::is_same_v<List, ControlList>)
            key += std::to_string(static_cast<int>(list.kind));
        key += std::to_string(device) + ';';
        addText(key, from, list.name);
        const auto& entries = [&]() -> const std::vector<NameEntry>& {
            if constexpr (std::is_same_v<List, NoteList>)
                return list.notes;
            else
                return list.controls;
        }();
        for (const NameEntry& entry : entries) {
            key += std::to_string(entry.number) + '=';
            addText(key, from, entry.name);
        }
        return key;
    }
    /// A patch list's key, its note lists named by their merged indexes.
    std::string keyOf(const InstrumentSet& from, const PatchList& list,
                      const std::vector<std::int32_t>* notes = nullptr)
    {
        std::string key = "p";
        addText(key, from, list.name);
        for (std::size_t i = 0; i < list.patches.size(); ++i) {
            const Patch& patch = list.patches[i];
            const std::int32_t noteList = notes != nullptr ? moved(patch.noteList, *notes) : patch.noteList;
            key += std::to_string(patch.program) + '/' + std::to_string(noteList) + '=';
            addText(key, from, patch.name);
            if (i < list.labels.size())
                addText(key, from, list.labels[i]);
        }
        return key;
    }

    std::vector<std::int32_t> appendNoteLists(const InstrumentSet& from, std::int32_t deviceOffset);
    std::vector<std::int32_t> appendControlLists(const InstrumentSet& from, std::int32_t deviceOffset);
    std::vector<std::int32_t> appendPatchLists(const InstrumentSet& from,
                                               const std::vector<std::int32_t>& notes);
    void appendDevices(const InstrumentSet& from, const std::vector<std::int32_t>& notes,
                       const std::vector<std::int32_t>& controls);

    InstrumentSet& m_into;
    std::unordered_map<std::string, std::int32_t> m_known;
    std::string m_scratch;
};

std::vector<std::int32_t> Merger::appendNoteLists(const InstrumentSet& from, std::int32_t deviceOffset)
{
    std::vector<std::int32_t> map;
    map.reserve(from.noteLists.size());
    for (const NoteList& list : from.noteLists) {
        const std::int32_t device = list.device < 0 ? -1 : list.device + deviceOffset;
        const auto [known, added] =
            m_known.try_emplace(keyOf(from, list, device), index(m_into.noteLists.size()));
        map.push_back(known->second);
        if (!added)
            continue;
        NoteList& copied = m_into.noteLists.emplace_back();
        copied.name = copy(from, list.name);
        copied.device = device;
        copied.notes.reserve(list.notes.size());
        for (const NameEntry& note : list.notes)
            copied.notes.push_back({note.number, copy(from, note.name)});
    }
    return map;
}

std::vector<std::int32_t> Merger::appendControlLists(const InstrumentSet& from, std::int32_t deviceOffset)
{
    std::vector<std::int32_t> map;
    map.reserve(from.controlLists.size());
    for (const ControlList& list : from.controlLists) {
        const std::int32_t device = list.device < 0 ? -1 : list.device + deviceOffset;
        const auto [known, added] =
            m_known.try_emplace(keyOf(from, list, device), index(m_into.controlLists.size()));
        map.push_back(known->second);
        if (!added)
            continue;
        ControlList& copied = m_into.controlLists.emplace_back();
        copied.name = copy(from, list.name);
        copied.kind = list.kind;
        copied.device = device;
        copied.controls.reserve(list.controls.size());
        for (const NameEntry& control : list.controls)
            copied.controls.push_back({control.number, copy(from, control.name)});
    }
    return map;
}

std::vector<std::int32_t> Merger::appendPatchLists(const InstrumentSet& from,
                                                   const std::vector<std::int32_t>& notes)
{
    std::vector<std::int32_t> map;
    map.reserve(from.patchLists.size());
    for (const PatchList& list : from.patchLists) {
        const auto [known, added] =
            m_known.try_emplace(keyOf(from, list, &notes), index(m_into.patchLists.size()));
        map.push_back(known->second);
        if (!added)
            continue;
        PatchList& copied = m_into.patchLists.emplace_back();
        copied.name = copy(from, list.name);
        copied.patches.reserve(list.patches.size());
        for (const Patch& patch : list.patches) {
            Patch& kept = copied.patches.emplace_back();
            kept.name = copy(from, patch.name);
            kept.program = patch.program;
            kept.noteList = moved(patch.noteList, notes);
        }
        for (const TextRef label : list.labels)
            copied.labels.push_back(copy(from, label));
    }
    return map;
}

void Merger::appendDevices(const InstrumentSet& from, const std::vector<std::int32_t>& notes,
                           const std::vector<std::int32_t>& controls)
{
    for (const Device& device : from.devices) {
        Device& copied = m_into.devices.emplace_back();
        copied.manufacturer = copy(from, device.manufacturer);
        copied.model = copy(from, device.model);
        for (const TextRef model : device.moreModels)
            copied.moreModels.push_back(copy(from, model));
        for (const DeviceMode& mode : device.modes) {
            DeviceMode& copiedMode = copied.modes.emplace_back();
            copiedMode.name = copy(from, mode.name);
            for (std::size_t channel = 0; channel < mode.nameSets.size(); ++channel)
                copiedMode.nameSets[channel] = copy(from, mode.nameSets[channel]);
        }
        for (const std::int32_t list : device.spareNoteLists)
            copied.spareNoteLists.push_back(moved(list, notes));
        for (const std::int32_t list : device.spareControlLists)
            copied.spareControlLists.push_back(moved(list, controls));
    }
}

void Merger::append(const InstrumentSet& from)
{
    const auto deviceOffset = index(m_into.devices.size());
    const std::vector<std::int32_t> notes = appendNoteLists(from, deviceOffset);
    const std::vector<std::int32_t> controls = appendControlLists(from, deviceOffset);
    const std::vector<std::int32_t> patches = appendPatchLists(from, notes);
    appendDevices(from, notes, controls);
    for (const Instrument& instrument : from.instruments) {
        Instrument& copied = m_into.instruments.emplace_back(instrument);
        copied.name = copy(from, instrument.name);
        copied.nameSet = copy(from, instrument.nameSet);
        copied.device = instrument.device < 0 ? -1 : instrument.device + deviceOffset;
        copied.noteList = moved(instrument.noteList, notes);
        copied.controllers = moved(instrument.controllers, controls);
        copied.rpns = moved(instrument.rpns, controls);
        copied.nrpns = moved(instrument.nrpns, controls);
        for (Bank& bank : copied.banks) {
            bank.name = copy(from, bank.name);
            bank.patchList = moved(bank.patchList, patches);
        }
    }
}

} // namespace

InstrumentSet mergedSets(std::vector<InstrumentSet> sets, std::vector<std::size_t>* firstInstrument)
{
    if (firstInstrument != nullptr)
        firstInstrument->clear();
    if (sets.empty())
        return {};
    if (sets.size() == 1) {
        if (firstInstrument != nullptr)
            firstInstrument->push_back(0);
        return std::move(sets.front());
    }
    TextEncoding encoding = sets.front().encoding;
    for (const InstrumentSet& set : sets)
        if (set.encoding != encoding)
            encoding = TextEncoding::Utf8;
    const bool keepFirst = sets.front().encoding == encoding;
    InstrumentSet merged = keepFirst ? std::move(sets.front()) : InstrumentSet(std::string(), encoding);
    Merger merger(merged);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (firstInstrument != nullptr)
            firstInstrument->push_back(i == 0 ? 0 : merged.instruments.size());
        if (i > 0 || !keepFirst)
            merger.append(sets[i]);
        sets[i] = InstrumentSet{}; // its memory goes back before the next one is copied
    }
    return merged;
}

} // namespace quorvix
