// How the .ins writer lays out what it writes: the definitions, their banks and the names of their lists.

#include "base/Text.h"
#include "formats/ins/InsTextWriter.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace quorvix::ins {

void InsTextWriter::planDefinitions()
{
    UniqueNames names;
    std::vector<std::string> own;
    for (const std::size_t i : m_instruments) {
        own.push_back(safe(m_set.instruments[i].name, "instrument name"));
        names.take(own.back());
    }
    for (std::size_t n = 0; n < m_instruments.size(); ++n) {
        const Instrument& instrument = m_set.instruments[m_instruments[n]];
        const std::vector<BankGroup> groups = bankGroups(m_set, instrument);
        m_definitions.push_back(Definition{m_instruments[n], own[n], {}});
        for (std::size_t g = 0; g < groups.size(); ++g) {
            if (g > 0) {
                const BankGroup& group = groups[g];
                bool changed = false;
                const std::string bank = bankTitle(m_set, instrument.banks[group.opener]);
                m_definitions.push_back(Definition{
                    m_instruments[n], names.make(own[n] + " (" + insSafeName(bank, changed) + ")"), {}});
                const Bank& other = instrument.banks[group.collidesWith];
                m_warnings.warn(SourcePos{}, "\"" + own[n] + "\": banks \"" + bankTitle(m_set, other) +
                                                 "\" and \"" + bank + "\" both select bank " +
                                                 std::to_string(other.number) +
                                                 " and name the same programs; \"" + bank +
                                                 "\" is written in a further definition, \"" +
                                                 m_definitions.back().name + "\"");
            }
            m_definitions.back().plan = planBanks(instrument, own[n], groups[g]);
        }
        warnSilentBanks(own[n]);
    }
}

void InsTextWriter::warnSilentBanks(const std::string& name)
{
    for (const auto& [sent, banks] : m_silentBanks) {
        m_warnings.warn(SourcePos{}, inQuotes(name) + ": " + (banks.size() == 1 ? "bank " : "banks ") +
                                         shortList(banks) + (banks.size() == 1 ? " sends" : " send") +
                                         " no bank select; the definition will send " + sent +
                                         (banks.size() == 1 ? " for it" : " for them"));
    }
    m_silentBanks.clear();
}

std::vector<InsTextWriter::PlannedBank>
InsTextWriter::planBanks(const Instrument& instrument, const std::string& name, const BankGroup& group)
{
    std::vector<PlannedBank> plan;
    std::map<std::int32_t, std::size_t> placeOf;
    for (const std::size_t b : group.banks) {
        const Bank& bank = instrument.banks[b];
        const BankSelect sent = bankSelectFor(instrument.method, bank.number);
        if (bank.select == BankSelect{} && !(sent == BankSelect{}))
            m_silentBanks[bankSelectText(sent)].push_back(inQuotes(bankTitle(m_set, bank)));
        else if (!(bank.select == sent))
            m_warnings.warn(SourcePos{}, "\"" + name + "\": bank " + std::to_string(bank.number) +
                                             " is selected differently from the other banks; the "
                                             "definition selects it with BankSelMethod=" +
                                             std::to_string(static_cast<int>(instrument.method)));
        const std::int32_t written = bankNumberUnder(instrument.method, bank.number);
        const auto [at, fresh] = placeOf.try_emplace(written, plan.size());
        if (fresh) {
            plan.push_back(PlannedBank{written, bank.patchList, bank.name});
            continue;
        }
        // Banks of one number whose programs differ (a source that splits a bank into groups) share one
        // list; the group holds no two that name one program.
        PlannedBank& earlier = plan[at->second];
        PatchList merged = patchList(earlier.list);
        if (merged.name.empty())
            merged.name = earlier.name;
        for (const Patch& patch : patchList(bank.patchList).patches) {
            const auto slot =
                std::lower_bound(merged.patches.begin(), merged.patches.end(), patch.program,
                                 [](const Patch& p, std::int32_t program) { return p.program < program; });
            merged.patches.insert(slot, patch);
        }
        earlier.list = static_cast<std::int32_t>(m_set.patchLists.size() + m_mergedLists.size());
        m_mergedLists.push_back(std::move(merged));
    }
    return plan;
}

void InsTextWriter::nameLists()
{
    const auto use = [&](Kind kind, std::int32_t index, TextRef name, std::string_view fallback) {
        if (index < 0 || m_names[kind].count(index) > 0)
            return;
        std::string written = name.empty() ? std::string(fallback) : safe(name, "list name");
        m_names[kind][index] = m_taken[kind].make(written);
        m_order[kind].push_back(index);
    };
    for (const Definition& definition : m_definitions) {
        const Instrument& instrument = m_set.instruments[definition.instrument];
        std::unordered_map<std::int32_t, TextRef> bankNames; // the first bank name of each list
        for (const Bank& source : instrument.banks)
            bankNames.try_emplace(source.patchList, source.name);
        for (const PlannedBank& bank : definition.plan) {
            const PatchList& list = patchList(bank.list);
            TextRef name = list.name;
            if (const auto found = bankNames.find(bank.list); name.empty() && found != bankNames.end())
                name = found->second;
            use(kPatch, bank.list, name, "Bank " + std::to_string(bank.written));
            for (const Patch& patch : list.patches)
                if (patch.noteList >= 0)
                    use(kNote, patch.noteList, m_set.noteLists[static_cast<std::size_t>(patch.noteList)].name,
                        "Notes");
        }
        if (instrument.noteList >= 0)
            use(kNote, instrument.noteList,
                m_set.noteLists[static_cast<std::size_t>(instrument.noteList)].name, "Notes");
        const std::pair<Kind, std::int32_t> controls[] = {
            {kController, instrument.controllers}, {kRpn, instrument.rpns}, {kNrpn, instrument.nrpns}};
        for (const auto& [kind, list] : controls)
            if (list >= 0)
                use(kind, list, m_set.controlLists[static_cast<std::size_t>(list)].name, "Controllers");
    }
    nameSpareLists();
}

void InsTextWriter::nameSpareLists()
{
    std::set<std::int32_t> devices;
    for (const Definition& definition : m_definitions)
        if (m_set.instruments[definition.instrument].device >= 0)
            devices.insert(m_set.instruments[definition.instrument].device);
    // Lists of a device that no patch uses: an .ins holds them in their sections all the same.
    std::map<std::pair<std::int32_t, int>, std::vector<std::string>> spare;
    const auto add = [&](Kind kind, std::int32_t device, std::int32_t index, TextRef name) {
        if (device < 0 || devices.count(device) == 0 || m_names[kind].count(index) > 0)
            return;
        m_names[kind][index] = m_taken[kind].make(
            name.empty() ? std::string(kind == kNote ? "Notes" : "Controllers") : safe(name, "list name"));
        m_order[kind].push_back(index);
        spare[{device, kind == kNote ? 0 : 1}].push_back(m_names[kind][index]);
    };
    for (std::size_t i = 0; i < m_set.noteLists.size(); ++i)
        add(kNote, m_set.noteLists[i].device, static_cast<std::int32_t>(i), m_set.noteLists[i].name);
    for (std::size_t i = 0; i < m_set.controlLists.size(); ++i) {
        const ControlList& list = m_set.controlLists[i];
        const Kind kind = list.kind == ControlKind::Rpn    ? kRpn
                          : list.kind == ControlKind::Nrpn ? kNrpn
                                                           : kController;
        add(kind, list.device, static_cast<std::int32_t>(i), list.name);
    }
    for (const auto& [key, names] : spare) {
        const auto index = static_cast<std::size_t>(key.first);
        const std::string model = index < m_set.devices.size() ? m_set.utf8(m_set.devices[index].model) : "";
        std::string shown;
        for (std::size_t n = 0; n < names.size() && n < 5; ++n)
            shown += (n == 0 ? "\"" : ", \"") + names[n] + "\"";
        if (names.size() > 5)
            shown += ", …";
        m_warnings.warn(SourcePos{}, "device \"" + model + "\": " + std::to_string(names.size()) +
                                         (key.second == 0 ? " note name" : " controller, RPN or NRPN name") +
                                         (names.size() == 1 ? " list" : " lists") + " that no patch uses " +
                                         (names.size() == 1 ? "is" : "are") +
                                         " written in the list sections, where no definition uses " +
                                         (names.size() == 1 ? "it" : "them") + ": " + shown);
    }
}

} // namespace quorvix::ins
