#include "model/MergedSets.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvix {

namespace {

/// FNV-1a over the parts of a list, each text ended by its length so that no two lists hash alike by
/// where their texts are cut.
struct Hash
{
    std::uint64_t value = 14695981039346656037ULL;

    void add(std::uint64_t number)
    {
        for (int shift = 0; shift < 64; shift += 8)
            value = (value ^ ((number >> shift) & 0xFF)) * 1099511628211ULL;
    }
    void add(std::string_view text)
    {
        for (const char c : text)
            value = (value ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        add(text.size());
    }
};

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// Appends sets to one, sharing the lists that an earlier set holds alike. A list is found by the hash of its
/// name, its device (or for a patch list its notes' lists) and its entries, then compared whole.
class Merger
{
public:
    explicit Merger(InstrumentSet& into) : m_into(into)
    {
        for (std::size_t i = 0; i < into.noteLists.size(); ++i)
            m_known.emplace(hashOf(into, into.noteLists[i], into.noteLists[i].device), index(i));
        for (std::size_t i = 0; i < into.controlLists.size(); ++i)
            m_known.emplace(hashOf(into, into.controlLists[i], into.controlLists[i].device), index(i));
        for (std::size_t i = 0; i < into.patchLists.size(); ++i)
            m_known.emplace(hashOf(into, into.patchLists[i], nullptr), index(i));
    }

    void append(const InstrumentSet& from);

private:
    static std::int32_t index(std::size_t i) { return static_cast<std::int32_t>(i); }
    static std::int32_t moved(std::int32_t index, const std::vector<std::int32_t>* map)
    {
        if (map == nullptr)
            return index;
        return index >= 0 && static_cast<std::size_t>(index) < map->size()
                   ? (*map)[static_cast<std::size_t>(index)]
                   : kNoList;
    }

    /// A text of `from` in the merged set's encoding; valid until the next call.
    std::string_view textOf(const InstrumentSet& from, TextRef ref)
    {
        const std::string_view text = from.text(ref);
        if (from.encoding == m_into.encoding || isAscii(text))
            return text;
        m_scratch = toUtf8(text, from.encoding);
        return m_scratch;
    }
    TextRef copy(const InstrumentSet& from, TextRef ref)
    {
        return ref.empty() ? TextRef{} : m_into.keep(textOf(from, ref));
    }
    bool same(const InstrumentSet& from, TextRef ours, TextRef theirs)
    {
        return textOf(from, theirs) == m_into.text(ours);
    }

    std::uint64_t hashOf(const InstrumentSet& from, const NoteList& list, std::int32_t device);
    std::uint64_t hashOf(const InstrumentSet& from, const ControlList& list, std::int32_t device);
    std::uint64_t hashOf(const InstrumentSet& from, const PatchList& list,
                         const std::vector<std::int32_t>* notes);
    bool sameEntries(const InstrumentSet& from, const std::vector<NameEntry>& ours,
                     const std::vector<NameEntry>& theirs);
    bool samePatches(const InstrumentSet& from, const PatchList& ours, const PatchList& theirs,
                     const std::vector<std::int32_t>& notes);
    /// The index of a list of the merged set that `equal` finds alike among those of `hash`; kNoList if none.
    template <typename Equal>
    std::int32_t known(std::uint64_t hash, Equal&& equal) const
    {
        const auto [first, last] = m_known.equal_range(hash);
        for (auto it = first; it != last; ++it)
            if (equal(it->second))
                return it->second;
        return kNoList;
    }

    std::vector<std::int32_t> appendNoteLists(const InstrumentSet& from, std::int32_t deviceOffset);
    std::vector<std::int32_t> appendControlLists(const InstrumentSet& from, std::int32_t deviceOffset);
    std::vector<std::int32_t> appendPatchLists(const InstrumentSet& from,
                                               const std::vector<std::int32_t>& notes);
    void appendDevices(const InstrumentSet& from, const std::vector<std::int32_t>& notes,
                       const std::vector<std::int32_t>& controls);

    InstrumentSet& m_into;
    /// Lists of the three kinds by hash; a hash names the kind it was made for, so they share one map.
    std::unordered_multimap<std::uint64_t, std::int32_t> m_known;
    std::string m_scratch;
};

std::uint64_t Merger::hashOf(const InstrumentSet& from, const NoteList& list, std::int32_t device)
{
    Hash hash;
    hash.add(std::uint64_t{'n'} << 32 | static_cast<std::uint32_t>(device));
    hash.add(textOf(from, list.name));
    for (const NameEntry& note : list.notes) {
        hash.add(note.number);
        hash.add(textOf(from, note.name));
    }
    return hash.value;
}

std::uint64_t Merger::hashOf(const InstrumentSet& from, const ControlList& list, std::int32_t device)
{
    Hash hash;
    hash.add(std::uint64_t{'c'} << 40 | std::uint64_t{static_cast<std::uint8_t>(list.kind)} << 32 |
             static_cast<std::uint32_t>(device));
    hash.add(textOf(from, list.name));
    for (const NameEntry& control : list.controls) {
        hash.add(control.number);
        hash.add(textOf(from, control.name));
    }
    return hash.value;
}

std::uint64_t Merger::hashOf(const InstrumentSet& from, const PatchList& list,
                             const std::vector<std::int32_t>* notes)
{
    Hash hash;
    hash.add(std::uint64_t{'p'} << 32 | list.labels.size());
    hash.add(textOf(from, list.name));
    for (const Patch& patch : list.patches) {
        hash.add(static_cast<std::uint64_t>(patch.program) << 32 |
                 static_cast<std::uint32_t>(moved(patch.noteList, notes)));
        hash.add(textOf(from, patch.name));
    }
    for (const TextRef label : list.labels)
        hash.add(textOf(from, label));
    return hash.value;
}

bool Merger::sameEntries(const InstrumentSet& from, const std::vector<NameEntry>& ours,
                         const std::vector<NameEntry>& theirs)
{
    if (ours.size() != theirs.size())
        return false;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (ours[i].number != theirs[i].number || !same(from, ours[i].name, theirs[i].name))
            return false;
    return true;
}

bool Merger::samePatches(const InstrumentSet& from, const PatchList& ours, const PatchList& theirs,
                         const std::vector<std::int32_t>& notes)
{
    if (ours.patches.size() != theirs.patches.size() || ours.labels.size() != theirs.labels.size() ||
        !same(from, ours.name, theirs.name))
        return false;
    for (std::size_t i = 0; i < ours.patches.size(); ++i) {
        const Patch& our = ours.patches[i];
        const Patch& their = theirs.patches[i];
        if (our.program != their.program || our.noteList != moved(their.noteList, &notes) ||
            !same(from, our.name, their.name))
            return false;
    }
    for (std::size_t i = 0; i < ours.labels.size(); ++i)
        if (!same(from, ours.labels[i], theirs.labels[i]))
            return false;
    return true;
}

std::vector<std::int32_t> Merger::appendNoteLists(const InstrumentSet& from, std::int32_t deviceOffset)
{
    std::vector<std::int32_t> map;
    map.reserve(from.noteLists.size());
    for (const NoteList& list : from.noteLists) {
        const std::int32_t device = list.device < 0 ? -1 : list.device + deviceOffset;
        const std::uint64_t hash = hashOf(from, list, device);
        const std::int32_t found = known(hash, [&](std::int32_t i) {
            const NoteList& ours = m_into.noteLists[static_cast<std::size_t>(i)];
            return ours.device == device && same(from, ours.name, list.name) &&
                   sameEntries(from, ours.notes, list.notes);
        });
        if (found != kNoList) {
            map.push_back(found);
            continue;
        }
        map.push_back(index(m_into.noteLists.size()));
        m_known.emplace(hash, map.back());
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
        const std::uint64_t hash = hashOf(from, list, device);
        const std::int32_t found = known(hash, [&](std::int32_t i) {
            const ControlList& ours = m_into.controlLists[static_cast<std::size_t>(i)];
            return ours.device == device && ours.kind == list.kind && same(from, ours.name, list.name) &&
                   sameEntries(from, ours.controls, list.controls);
        });
        if (found != kNoList) {
            map.push_back(found);
            continue;
        }
        map.push_back(index(m_into.controlLists.size()));
        m_known.emplace(hash, map.back());
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
        const std::uint64_t hash = hashOf(from, list, &notes);
        const std::int32_t found = known(hash, [&](std::int32_t i) {
            return samePatches(from, m_into.patchLists[static_cast<std::size_t>(i)], list, notes);
        });
        if (found != kNoList) {
            map.push_back(found);
            continue;
        }
        map.push_back(index(m_into.patchLists.size()));
        m_known.emplace(hash, map.back());
        PatchList& copied = m_into.patchLists.emplace_back();
        copied.name = copy(from, list.name);
        copied.patches.reserve(list.patches.size());
        for (const Patch& patch : list.patches) {
            Patch& kept = copied.patches.emplace_back();
            kept.name = copy(from, patch.name);
            kept.program = patch.program;
            kept.noteList = moved(patch.noteList, &notes);
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
            copied.spareNoteLists.push_back(moved(list, &notes));
        for (const std::int32_t list : device.spareControlLists)
            copied.spareControlLists.push_back(moved(list, &controls));
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
        copied.noteList = moved(instrument.noteList, &notes);
        copied.controllers = moved(instrument.controllers, &controls);
        copied.rpns = moved(instrument.rpns, &controls);
        copied.nrpns = moved(instrument.nrpns, &controls);
        for (Bank& bank : copied.banks) {
            bank.name = copy(from, bank.name);
            bank.patchList = moved(bank.patchList, &patches);
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
    std::size_t copied = 0;
    for (std::size_t i = keepFirst ? 1 : 0; i < sets.size(); ++i)
        copied += sets[i].textSize();
    merged.reserveKept(copied);
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
