#include "formats/ins/InsParse.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>

namespace quorvix::ins {

namespace {

/// `name` without its "{{ ... }}" tags, which some programs append to references for their own use
/// ("Patch[0]=GM Bank {{ GM_BANK }}" names the list "GM Bank").
std::string withoutTags(std::string_view name)
{
    std::string result;
    for (;;) {
        const auto open = name.find("{{");
        if (open == std::string_view::npos)
            break;
        const auto close = name.find("}}", open + 2);
        if (close == std::string_view::npos)
            break;
        result += name.substr(0, open);
        name = name.substr(close + 2);
    }
    result += name;
    return std::string(trimBlanks(result));
}

std::uint32_t numberOf(const Patch& patch)
{
    return patch.program;
}
std::uint32_t numberOf(const NameEntry& entry)
{
    return entry.number;
}

/// The entries of a list over those of its base: both ascending; an own entry replaces the base's of its
/// number.
template <typename Entry>
std::vector<Entry> mergeOver(std::span<const Entry> own, std::span<const Entry> base)
{
    // Counted first, so that the result is allocated once at its size.
    std::size_t replaced = 0;
    for (std::size_t o = 0, b = 0; o < own.size() && b < base.size();) {
        if (numberOf(own[o]) == numberOf(base[b])) {
            ++replaced;
            ++o;
            ++b;
        } else if (numberOf(own[o]) < numberOf(base[b])) {
            ++o;
        } else {
            ++b;
        }
    }
    std::vector<Entry> result;
    result.reserve(own.size() + base.size() - replaced);
    std::size_t o = 0;
    std::size_t b = 0;
    while (o < own.size() || b < base.size()) {
        if (b == base.size() || (o < own.size() && numberOf(own[o]) <= numberOf(base[b]))) {
            if (b < base.size() && numberOf(own[o]) == numberOf(base[b]))
                ++b;
            result.push_back(own[o++]);
        } else {
            result.push_back(base[b++]);
        }
    }
    return result;
}

class ModelBuilder
{
public:
    ModelBuilder(RawFile& raw, std::string_view builtinNames, InstrumentSet& set, Diagnostics& warnings)
        : m_raw(raw), m_set(set), m_warnings(warnings), m_builtinNames(builtinNames),
          m_modelIndex(raw.lists.size(), kNoList), m_merged(raw.lists.size(), -1)
    {}

    void run();

private:
    void registerLists();
    void resolveBases();
    std::int32_t findList(Section section, std::string_view name) const;
    std::span<const Patch> builtinPatches(std::int32_t code);
    std::span<const Patch> patchEntries(std::int32_t list);
    std::span<const NameEntry> nameEntries(std::int32_t list);
    std::int32_t modelPatchList(std::int32_t list);
    /// The set's list of raw list `index` (a code of findList() gives none).
    std::int32_t modelNameList(Section section, std::int32_t index);
    /// The note lists an instrument's Key lines give: the most specific line wins, Key[b,p], then Key[b,*],
    /// then Key[*,p] (only for a bank without Key lines of its own), then Key[*,*] (the instrument's own
    /// list); of equal lines the last.
    struct KeyLists
    {
        std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> exact;
        std::map<std::int32_t, std::int32_t> byBank;
        std::map<std::int32_t, std::int32_t> byProgram;
        std::vector<std::int32_t> banksWithKeys; ///< ascending
        /// The list a Key line gives one patch of a bank, if any.
        std::optional<std::int32_t> find(std::int32_t bank, std::int32_t program, bool ownKeys) const;
    };

    void buildInstrument(const RawInstrument& raw);
    void addBanks(const RawInstrument& raw, Instrument& instrument);
    void assignControlLists(const RawInstrument& raw, Instrument& instrument);
    /// Reads the Key lines; a Key[*,*] line sets the instrument's own note list.
    KeyLists keyLists(const RawInstrument& raw, Instrument& instrument);
    void assignNoteLists(const RawInstrument& raw, Instrument& instrument);
    std::int32_t bankNumber(const RawInstrument& raw, std::uint32_t written, std::uint32_t line, bool warn);
    void warn(std::uint32_t line, std::string message) { m_warnings.warn(line, std::move(message)); }
    std::string listKind(Section section) const { return std::string(kListKinds[section]); }

    RawFile& m_raw;
    InstrumentSet& m_set;
    Diagnostics& m_warnings;
    std::string_view m_builtinNames;
    std::array<std::unordered_map<std::string_view, std::int32_t>, kListSectionCount> m_byName;
    std::vector<std::int32_t> m_modelIndex; ///< per raw list: its list in the set, once made
    std::vector<std::int32_t> m_merged; ///< per raw list with a base: its entries in m_mergedPatches/Names
    std::vector<std::vector<Patch>> m_mergedPatches;
    std::vector<std::vector<NameEntry>> m_mergedNames;
    std::array<std::vector<Patch>, 2> m_builtins;
    std::array<std::int32_t, 2> m_builtinModel{kNoList, kNoList};
    std::vector<std::int32_t> m_placeOfBank = std::vector<std::int32_t>(kHighestBank + 1, -1);
};

void ModelBuilder::run()
{
    registerLists();
    resolveBases();
    // Reserved at most as large as needed, so that a large file's lists are not held twice while a vector
    // grows: every list once, the two built-in patch lists, and a copy of a bank's patch list for each
    // Patch line of an instrument whose Key lines may give its patches note lists of their own.
    std::array<std::size_t, kListSectionCount> counts{};
    for (const RawList& list : m_raw.lists)
        counts[list.section] += list.live ? 1 : 0;
    std::size_t copies = 0;
    for (const RawInstrument& instrument : m_raw.instruments)
        copies += instrument.keys.empty() ? 0 : instrument.patches.size();
    m_set.patchLists.reserve(m_set.patchLists.size() + counts[kPatchNames] + 2 + copies);
    m_set.noteLists.reserve(m_set.noteLists.size() + counts[kNoteNames]);
    m_set.controlLists.reserve(m_set.controlLists.size() + counts[kControllerNames] + counts[kRpnNames] +
                               counts[kNrpnNames]);
    m_set.instruments.reserve(m_set.instruments.size() + m_raw.instruments.size());
    for (const RawInstrument& instrument : m_raw.instruments)
        buildInstrument(instrument);
}

void ModelBuilder::registerLists()
{
    std::array<std::size_t, kListSectionCount> counts{};
    for (const RawList& list : m_raw.lists)
        ++counts[list.section];
    for (std::size_t section = 0; section < kListSectionCount; ++section)
        m_byName[section].reserve(counts[section]);
    for (std::size_t i = 0; i < m_raw.lists.size(); ++i) {
        RawList& list = m_raw.lists[i];
        auto [it, inserted] = m_byName[list.section].try_emplace(list.name, static_cast<std::int32_t>(i));
        if (!inserted) {
            RawList& earlier = m_raw.lists[static_cast<std::size_t>(it->second)];
            earlier.live = false;
            warn(list.line, listKind(list.section) + " " + inQuotes(list.name) + " of line " +
                                std::to_string(earlier.line) + " is defined again; this one replaces it");
            it->second = static_cast<std::int32_t>(i);
        }
        list.live = true;
    }
}

std::int32_t ModelBuilder::findList(Section section, std::string_view name) const
{
    const auto& byName = m_byName[section];
    if (const auto it = byName.find(name); it != byName.end())
        return it->second;
    if (name.find("{{") != std::string_view::npos) {
        const std::string untagged = withoutTags(name);
        if (untagged.size() < name.size() && !untagged.empty())
            return findList(section, untagged);
    }
    if (section == kPatchNames) {
        if (name == "0..127")
            return kBuiltin0To127;
        if (name == "1..128")
            return kBuiltin1To128;
        return kUndefined;
    }
    if (name == "0..127" || name == "1..128" || name == "0..16383" ||
        (section == kNoteNames && name == "Diatonic"))
        return kBuiltinOther;
    return kUndefined;
}

void ModelBuilder::resolveBases()
{
    for (RawList& list : m_raw.lists) {
        // A file may define a list under a built-in name, often empty as a placeholder: its entries are then
        // laid over the built-in names.
        if (list.live && list.baseLine == 0 && list.section == kPatchNames) {
            if (list.name == "0..127")
                list.base = kBuiltin0To127;
            else if (list.name == "1..128")
                list.base = kBuiltin1To128;
        }
        if (!list.live || list.baseLine == 0)
            continue;
        list.base = findList(list.section, list.baseName);
        if (list.base == kUndefined)
            warn(list.baseLine, listKind(list.section) + " " + inQuotes(list.name) + " is based on " +
                                    inQuotes(list.baseName) + ", which is not defined");
        else if (list.base == kBuiltinOther)
            list.base = kUndefined;
    }

    // Each list has at most one base, so a cycle is found by following the bases from every list once.
    enum : std::uint8_t
    {
        kUnvisited,
        kOnPath,
        kDone
    };
    std::vector<std::uint8_t> state(m_raw.lists.size(), kUnvisited);
    std::vector<std::int32_t> path;
    for (std::size_t start = 0; start < m_raw.lists.size(); ++start) {
        path.clear();
        std::int32_t at = static_cast<std::int32_t>(start);
        while (at >= 0 && state[static_cast<std::size_t>(at)] == kUnvisited) {
            state[static_cast<std::size_t>(at)] = kOnPath;
            path.push_back(at);
            at = m_raw.lists[static_cast<std::size_t>(at)].base;
        }
        if (at >= 0 && state[static_cast<std::size_t>(at)] == kOnPath) {
            RawList& closing = m_raw.lists[static_cast<std::size_t>(path.back())];
            warn(closing.baseLine, listKind(closing.section) + " " + inQuotes(closing.name) +
                                       " is based on " + inQuotes(closing.baseName) +
                                       ", which leads back to it; this BasedOn is ignored");
            closing.base = kUndefined;
        }
        for (std::int32_t visited : path)
            state[static_cast<std::size_t>(visited)] = kDone;
    }
}

std::span<const Patch> ModelBuilder::builtinPatches(std::int32_t code)
{
    const std::size_t which = code == kBuiltin0To127 ? 0 : 1;
    std::vector<Patch>& patches = m_builtins[which];
    if (patches.empty()) {
        // The built-in names are "0" .. "128" one after another, after the two list names: "0..127" names
        // program p "p", "1..128" names it "p+1".
        const std::uint32_t start = m_set.refer(m_builtinNames).offset + 12;
        std::uint32_t offset = 0;
        for (std::uint32_t shown = 0; shown <= 128; ++shown) {
            const auto length = static_cast<std::uint32_t>(std::to_string(shown).size());
            if (shown >= which && shown - which < 128)
                patches.push_back(Patch{TextRef{start + offset, length},
                                        static_cast<std::uint8_t>(shown - which), kNoList});
            offset += length;
        }
    }
    return patches;
}

std::span<const Patch> ModelBuilder::patchEntries(std::int32_t index)
{
    const auto known = [&](std::int32_t at) -> std::span<const Patch> {
        if (at == kBuiltin0To127 || at == kBuiltin1To128)
            return builtinPatches(at);
        if (at < 0)
            return {};
        if (const std::int32_t made = m_modelIndex[static_cast<std::size_t>(at)]; made != kNoList)
            return m_set.patchLists[static_cast<std::size_t>(made)].patches;
        const RawList& list = m_raw.lists[static_cast<std::size_t>(at)];
        if (list.base == kUndefined)
            return list.patches;
        return m_mergedPatches[static_cast<std::size_t>(m_merged[static_cast<std::size_t>(at)])];
    };
    // Each list of the chain is merged once, from the deepest base up; a chain may be thousands of lists
    // long, so it is walked, not recursed. Cycles were broken when the bases were resolved.
    std::vector<std::int32_t> chain;
    for (std::int32_t at = index; at >= 0; at = m_raw.lists[static_cast<std::size_t>(at)].base) {
        if (m_raw.lists[static_cast<std::size_t>(at)].base == kUndefined ||
            m_merged[static_cast<std::size_t>(at)] >= 0)
            break;
        chain.push_back(at);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        RawList& list = m_raw.lists[static_cast<std::size_t>(*it)];
        std::vector<Patch> result = mergeOver<Patch>(list.patches, known(list.base));
        std::vector<Patch>().swap(list.patches); // only the merged entries are used from now on
        m_merged[static_cast<std::size_t>(*it)] = static_cast<std::int32_t>(m_mergedPatches.size());
        m_mergedPatches.push_back(std::move(result));
    }
    return known(index);
}

std::span<const NameEntry> ModelBuilder::nameEntries(std::int32_t index)
{
    const auto known = [&](std::int32_t at) -> std::span<const NameEntry> {
        const RawList& list = m_raw.lists[static_cast<std::size_t>(at)];
        if (const std::int32_t made = m_modelIndex[static_cast<std::size_t>(at)]; made != kNoList) {
            if (list.section == kNoteNames)
                return m_set.noteLists[static_cast<std::size_t>(made)].notes;
            return m_set.controlLists[static_cast<std::size_t>(made)].controls;
        }
        if (list.base < 0)
            return list.names;
        return m_mergedNames[static_cast<std::size_t>(m_merged[static_cast<std::size_t>(at)])];
    };
    std::vector<std::int32_t> chain;
    for (std::int32_t at = index; at >= 0; at = m_raw.lists[static_cast<std::size_t>(at)].base) {
        if (m_raw.lists[static_cast<std::size_t>(at)].base < 0 || m_merged[static_cast<std::size_t>(at)] >= 0)
            break;
        chain.push_back(at);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        RawList& list = m_raw.lists[static_cast<std::size_t>(*it)];
        std::vector<NameEntry> result = mergeOver<NameEntry>(list.names, known(list.base));
        std::vector<NameEntry>().swap(list.names);
        m_merged[static_cast<std::size_t>(*it)] = static_cast<std::int32_t>(m_mergedNames.size());
        m_mergedNames.push_back(std::move(result));
    }
    return known(index);
}

std::int32_t ModelBuilder::modelPatchList(std::int32_t index)
{
    if (index == kBuiltin0To127 || index == kBuiltin1To128) {
        std::int32_t& made = m_builtinModel[index == kBuiltin0To127 ? 0 : 1];
        if (made == kNoList) {
            const std::span<const Patch> patches = builtinPatches(index);
            made = static_cast<std::int32_t>(m_set.patchLists.size());
            m_set.patchLists.push_back(
                PatchList{m_set.refer(m_builtinNames.substr(index == kBuiltin0To127 ? 0 : 6, 6)),
                          std::vector<Patch>(patches.begin(), patches.end()),
                          {}});
        }
        return made;
    }
    if (index < 0)
        return kNoList;
    std::int32_t& made = m_modelIndex[static_cast<std::size_t>(index)];
    if (made != kNoList)
        return made;
    RawList& list = m_raw.lists[static_cast<std::size_t>(index)];
    PatchList model{m_set.refer(list.name), {}, {}};
    // The entries move into the set; lists based on this one are merged from there.
    if (list.base == kUndefined) {
        model.patches = std::move(list.patches);
    } else {
        patchEntries(index);
        model.patches =
            std::move(m_mergedPatches[static_cast<std::size_t>(m_merged[static_cast<std::size_t>(index)])]);
    }
    made = static_cast<std::int32_t>(m_set.patchLists.size());
    m_set.patchLists.push_back(std::move(model));
    return made;
}

std::int32_t ModelBuilder::modelNameList(Section section, std::int32_t index)
{
    if (index < 0)
        return kNoList; // a built-in list of plain numbers names nothing; an undefined one was warned about
    std::int32_t& made = m_modelIndex[static_cast<std::size_t>(index)];
    if (made != kNoList)
        return made;
    if (section == kNoteNames && m_set.noteLists.size() >= kMostNoteLists)
        return kNoList;
    RawList& list = m_raw.lists[static_cast<std::size_t>(index)];
    std::vector<NameEntry> copy;
    if (list.base < 0) {
        copy = std::move(list.names);
    } else {
        nameEntries(index);
        copy = std::move(m_mergedNames[static_cast<std::size_t>(m_merged[static_cast<std::size_t>(index)])]);
    }
    if (section == kNoteNames) {
        made = static_cast<std::int32_t>(m_set.noteLists.size());
        m_set.noteLists.push_back(NoteList{m_set.refer(list.name), std::move(copy)});
    } else {
        const ControlKind kind = section == kRpnNames    ? ControlKind::Rpn
                                 : section == kNrpnNames ? ControlKind::Nrpn
                                                         : ControlKind::Controller;
        made = static_cast<std::int32_t>(m_set.controlLists.size());
        m_set.controlLists.push_back(ControlList{m_set.refer(list.name), kind, std::move(copy)});
    }
    return made;
}

std::int32_t ModelBuilder::bankNumber(const RawInstrument& raw, std::uint32_t written, std::uint32_t line,
                                      bool warnHere)
{
    auto bank = static_cast<std::int32_t>(written);
    const std::string text = std::to_string(written);
    if (raw.method == BankSelectMethod::MsbOnly) {
        // Controller 0 only: b is the MSB, unless it is written as MSB * 128 already.
        if (bank <= 127)
            bank *= 128;
        else if (warnHere && bank % 128 != 0)
            warn(line,
                 "Patch[" + text + "] under BankSelMethod=1 is no bank select MSB; taken as bank " + text);
    } else if (raw.method == BankSelectMethod::LsbOnly && bank > 127 && warnHere) {
        warn(line, "Patch[" + text + "] under BankSelMethod=2 is no bank select LSB; taken as bank " + text);
    }
    return bank;
}

void ModelBuilder::buildInstrument(const RawInstrument& raw)
{
    Instrument instrument;
    instrument.name = m_set.refer(raw.name);
    instrument.method = raw.method;
    addBanks(raw, instrument);
    assignControlLists(raw, instrument);
    assignNoteLists(raw, instrument);
    m_set.instruments.push_back(std::move(instrument));
}

void ModelBuilder::addBanks(const RawInstrument& raw, Instrument& instrument)
{
    struct Planned
    {
        std::int32_t bank;
        std::int32_t list;
    };
    std::vector<Planned> plan;
    std::int32_t starPlace = -1;
    for (const PatchLine& patch : raw.patches) {
        const std::string written = patch.star ? std::string("*") : std::to_string(patch.bank);
        const std::int32_t bank = patch.star ? 0 : bankNumber(raw, patch.bank, patch.line, true);
        const std::int32_t list = findList(kPatchNames, patch.ref);
        if (list == kUndefined)
            warn(patch.line,
                 "patch list " + inQuotes(patch.ref) + " of Patch[" + written + "] is not defined");
        // A bank given twice: the later list at the earlier place.
        std::int32_t& place = patch.star ? starPlace : m_placeOfBank[static_cast<std::size_t>(bank)];
        if (place >= 0) {
            plan[static_cast<std::size_t>(place)].list = list;
        } else {
            place = static_cast<std::int32_t>(plan.size());
            plan.push_back(Planned{patch.star ? -1 : bank, list});
        }
    }
    // Patch[*] stands for bank 0 when no line of the instrument gives bank 0 its own list.
    if (starPlace >= 0) {
        if (m_placeOfBank[0] >= 0)
            plan.erase(plan.begin() + starPlace);
        else
            plan[static_cast<std::size_t>(starPlace)].bank = 0;
    }
    for (const Planned& item : plan) {
        if (item.bank >= 0)
            m_placeOfBank[static_cast<std::size_t>(item.bank)] = -1;
        if (item.list == kUndefined)
            continue;
        Bank bank;
        bank.number = item.bank;
        bank.select = bankSelectFor(raw.method, item.bank);
        bank.patchList = modelPatchList(item.list);
        instrument.banks.push_back(bank);
    }
    m_placeOfBank[0] = -1;
}

void ModelBuilder::assignControlLists(const RawInstrument& raw, Instrument& instrument)
{
    for (const Section section : {kControllerNames, kRpnNames, kNrpnNames}) {
        const ListRef& ref = raw.refs[section];
        if (ref.line == 0)
            continue;
        const std::int32_t found = findList(section, ref.ref);
        if (found == kUndefined)
            warn(ref.line, listKind(section) + " " + inQuotes(ref.ref) + " is not defined");
        const std::int32_t list = modelNameList(section, found);
        (section == kControllerNames ? instrument.controllers
         : section == kRpnNames      ? instrument.rpns
                                     : instrument.nrpns) = list;
    }
}

ModelBuilder::KeyLists ModelBuilder::keyLists(const RawInstrument& raw, Instrument& instrument)
{
    KeyLists keys;
    for (const KeyLine& key : raw.keys) {
        const std::int32_t defined = findList(kNoteNames, key.ref);
        if (defined == kUndefined)
            warn(key.line, "note list " + inQuotes(key.ref) + " is not defined");
        const std::int32_t list = modelNameList(kNoteNames, defined);
        if (list == kNoList && defined >= 0)
            warn(key.line, "note list " + inQuotes(key.ref) + " is left out: a file may use at most " +
                               std::to_string(kMostNoteLists) + " note lists");
        const std::int32_t bank =
            key.bank < 0 ? -1 : bankNumber(raw, static_cast<std::uint32_t>(key.bank), key.line, false);
        if (bank >= 0)
            keys.banksWithKeys.push_back(bank);
        if (bank >= 0 && key.program >= 0)
            keys.exact[{bank, key.program}] = list;
        else if (bank >= 0)
            keys.byBank[bank] = list;
        else if (key.program >= 0)
            keys.byProgram[key.program] = list;
        else
            instrument.noteList = list;
    }
    std::sort(keys.banksWithKeys.begin(), keys.banksWithKeys.end());
    return keys;
}

std::optional<std::int32_t> ModelBuilder::KeyLists::find(std::int32_t bank, std::int32_t program,
                                                         bool ownKeys) const
{
    if (const auto it = exact.find({bank, program}); it != exact.end())
        return it->second;
    if (const auto it = byBank.find(bank); it != byBank.end())
        return it->second;
    if (!ownKeys) {
        if (const auto it = byProgram.find(program); it != byProgram.end())
            return it->second;
    }
    return std::nullopt;
}

void ModelBuilder::assignNoteLists(const RawInstrument& raw, Instrument& instrument)
{
    if (raw.keys.empty())
        return;
    const KeyLists keys = keyLists(raw, instrument);
    for (Bank& bank : instrument.banks) {
        const bool ownKeys =
            std::binary_search(keys.banksWithKeys.begin(), keys.banksWithKeys.end(), bank.number);
        if (!ownKeys && keys.byProgram.empty())
            continue;
        std::vector<std::int32_t> lists;
        bool any = false;
        for (const Patch& patch : m_set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            std::int32_t list = keys.find(bank.number, patch.program, ownKeys).value_or(kNoList);
            if (list == instrument.noteList)
                list = kNoList;
            any = any || list != kNoList;
            lists.push_back(list);
        }
        if (!any)
            continue;
        // The patch list may be shared with other banks: this bank gets a copy that names its note lists.
        PatchList copy = m_set.patchLists[static_cast<std::size_t>(bank.patchList)];
        for (std::size_t i = 0; i < copy.patches.size(); ++i)
            copy.patches[i].noteList = lists[i];
        bank.patchList = static_cast<std::int32_t>(m_set.patchLists.size());
        m_set.patchLists.push_back(std::move(copy));
    }
}

} // namespace

void buildInsModel(RawFile& raw, std::string_view builtinNames, InstrumentSet& set, Diagnostics& warnings)
{
    ModelBuilder(raw, builtinNames, set, warnings).run();
}

} // namespace quorvix::ins
