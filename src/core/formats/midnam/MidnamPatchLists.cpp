#include "formats/midnam/MidnamLists.h"

// The patch lists of the lists: which banks the patches of a PatchNameList select, and the set's patch lists
// made from them.

#include "base/Text.h"

#include <algorithm>
#include <limits>

namespace quorvix::midnam {

namespace {

const void* key(pugi::xml_node node)
{
    return node.internal_object();
}

/// A number for every select (parts from -1 to 127), for looking selects up.
std::int32_t selectKey(const BankSelect& select)
{
    return ((select.msb + 1) * 129 + select.lsb + 1) * 129 + select.program + 1;
}

} // namespace

Lists::ParsedList& Lists::parsed(pugi::xml_node list)
{
    auto [slot, fresh] = m_parsed.try_emplace(key(list));
    ParsedList& parsed = slot->second;
    if (!fresh)
        return parsed;
    parsed.name = keepName(list, attributeText(list, "Name"));
    for (pugi::xml_node patch : list.children("Patch")) {
        const std::string_view name = attributeText(patch, "Name");
        const std::string owner = "patch " + inQuotes(name);
        const Commands own = commands(patch.child("PatchMIDICommands"), owner);
        const pugi::xml_attribute attribute = patch.attribute("ProgramChange");
        std::optional<std::int32_t> program = attribute ? attributeNumber(attribute) : own.program;
        if (!attribute && !own.programAt) {
            warn(patch, owner + " has no program change; skipped");
            continue;
        }
        if (!program || *program < 0 || *program > 127) {
            const std::string text =
                attribute ? attribute.value() : own.programAt.attribute("Number").value();
            warn(patch, owner + ": program change " + inQuotes(text) + " is not from 0 to 127; skipped");
            continue;
        }
        if (!patch.attribute("Name"))
            warn(patch, "patch with program change " + std::to_string(*program) + " has no name");

        std::int32_t notes = kNoList;
        if (pugi::xml_node uses = patch.child("UsesNoteNameList")) {
            if (pugi::xml_node used = resolve(ListKind::Note, uses))
                notes = noteList(used);
        } else if (pugi::xml_node inlineNotes = patch.child("NoteNameList")) {
            notes = noteList(inlineNotes);
        }
        const bool ownSelect = own.msb >= 0 || own.lsb >= 0;
        const BankSelect select{own.msb, own.lsb, -1};
        const auto index = static_cast<std::uint32_t>(parsed.patches.size());
        if (!ownSelect) {
            parsed.unowned.push_back(index);
        } else {
            auto& owned = parsed.owned[selectKey(select)];
            if (owned.empty())
                parsed.firstOwned.push_back(index);
            owned.push_back(index);
        }
        parsed.patches.push_back(ParsedPatch{keepText(patch, patch.attribute("Name").value()),
                                             static_cast<std::uint8_t>(*program), ownSelect, select, notes,
                                             patch, keepName(patch, attributeText(patch, "Number"))});
    }
    return parsed;
}

std::vector<BankSelect> Lists::selectsOf(pugi::xml_node list, const BankSelect& bankSelect)
{
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    const ParsedList& from = parsed(list);
    std::vector<std::uint32_t> firsts = from.firstOwned;
    // The bank's own select stands where its first patch does, whether that patch selects it itself or not.
    std::uint32_t bankFirst = from.unowned.empty() ? kNone : from.unowned.front();
    if (const auto same = from.owned.find(selectKey(bankSelect)); same != from.owned.end()) {
        bankFirst = std::min(bankFirst, same->second.front());
        firsts.erase(std::find(firsts.begin(), firsts.end(), same->second.front()));
    }
    std::vector<BankSelect> selects;
    for (const std::uint32_t first : firsts) {
        if (bankFirst < first) {
            selects.push_back(bankSelect);
            bankFirst = kNone;
        }
        selects.push_back(from.patches[first].select);
    }
    if (bankFirst != kNone || selects.empty())
        selects.push_back(bankSelect);
    return selects;
}

std::int32_t Lists::patchList(pugi::xml_node list, const BankSelect& select, bool withUnowned,
                              std::string_view bankName)
{
    ParsedList& from = parsed(list);
    // Which patches a group holds depends on the select only through the patches that select that bank
    // themselves; without them, every bank using the list gets the same patches and shares one PatchList.
    const auto owned = from.owned.find(selectKey(select));
    const BankSelect content = owned != from.owned.end() ? select : BankSelect{-2, -2, -2};
    for (const MadeList& made : from.made) {
        if (made.content == content && made.withUnowned == withUnowned)
            return made.index;
    }
    std::vector<std::uint32_t> chosen;
    if (owned != from.owned.end())
        chosen = owned->second;
    if (withUnowned) {
        const auto middle = static_cast<std::ptrdiff_t>(chosen.size());
        chosen.insert(chosen.end(), from.unowned.begin(), from.unowned.end());
        std::inplace_merge(chosen.begin(), chosen.begin() + middle, chosen.end());
    }
    // Document order within a program, so that of one program named twice the later one stays.
    std::stable_sort(chosen.begin(), chosen.end(), [&](std::uint32_t a, std::uint32_t b) {
        return from.patches[a].program < from.patches[b].program;
    });
    PatchList made;
    made.name = from.name;
    for (const std::uint32_t index : chosen) {
        const ParsedPatch& patch = from.patches[index];
        const Patch kept{patch.name, patch.program, patch.noteList};
        if (!made.patches.empty() && made.patches.back().program == patch.program) {
            warn(patch.node, "bank " + inQuotes(bankName) + ": program " + std::to_string(patch.program) +
                                 " is named twice (" + inQuotes(m_result.set.text(made.patches.back().name)) +
                                 ", then " + inQuotes(m_result.set.text(patch.name)) + "); the last is kept");
            made.patches.back() = kept;
            made.labels.back() = patch.label;
        } else {
            made.patches.push_back(kept);
            made.labels.push_back(patch.label);
        }
    }
    if (std::all_of(made.labels.begin(), made.labels.end(), [](TextRef label) { return label.empty(); }))
        made.labels.clear();
    const auto index = static_cast<std::int32_t>(m_result.set.patchLists.size());
    m_result.set.patchLists.push_back(std::move(made));
    from.made.push_back(MadeList{content, withUnowned, index});
    return index;
}

} // namespace quorvix::midnam
