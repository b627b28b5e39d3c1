#include "formats/midnam/MidnamPlan.h"

#include "base/UniqueNames.h"
#include "formats/midnam/XmlStream.h"

#include <algorithm>
#include <set>

namespace quorvix::midnam {

namespace {

bool hasWritableNote(const NoteList& list)
{
    return std::any_of(list.notes.begin(), list.notes.end(),
                       [](const NameEntry& note) { return note.number <= 127; });
}

std::string withoutSuffix(std::string name, std::string_view suffix)
{
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

std::string cleanName(const InstrumentSet& set, TextRef ref)
{
    return midnam::cleanName(set.utf8(ref));
}

/// The number of a select, for keying lists by the bank they are written in.
std::int64_t selectKey(const BankSelect& select)
{
    return ((std::int64_t{select.msb} + 1) * 65537 + select.lsb + 1) * 65537 + select.program + 1;
}

class Planner
{
public:
    Planner(const InstrumentSet& set, const std::vector<const Instrument*>& instruments)
        : m_set(set), m_instruments(instruments)
    {}

    DocumentPlan plan()
    {
        planNames();
        planPatchLists();
        planNoteLists();
        planControls();
        return std::move(m_plan);
    }

private:
    /// The models (a device's name sets are written under its own model, one instrument under its name) and
    /// the name sets' names.
    void planNames()
    {
        const Device* device = listAt(m_set.devices, m_instruments.front()->device);
        std::string model =
            m_instruments.size() > 1 && device ? cleanName(m_set, device->model) : std::string();
        if (model.empty())
            model = cleanName(m_set, m_instruments.front()->name);
        m_plan.models.push_back(model.empty() ? "Instrument" : model);
        if (device) {
            std::set<std::string> taken{m_plan.models.front()};
            for (const TextRef more : device->moreModels) {
                if (std::string name = cleanName(m_set, more); !name.empty() && taken.insert(name).second)
                    m_plan.models.push_back(std::move(name));
            }
        }
        UniqueNames unique;
        for (const Instrument* instrument : m_instruments) {
            std::string name = cleanName(m_set, instrument->nameSet);
            if (name.empty())
                name = m_instruments.size() > 1 ? cleanName(m_set, instrument->name) : m_plan.models.front();
            m_plan.nameSetNames.push_back(unique.make(name.empty() ? m_plan.models.front() : name));
        }
    }

    // A patch list is written once and shared only by banks that send the same bank select: a reader such
    // as Ardour gives the banks of one list the same patches and their bank number, so a list shared by
    // banks of different numbers would send one number for all of them.
    // The plans are kept by list index for the lists this document uses: a set may hold many thousands of
    // lists, and sizing a table by them for every document would make writing them all quadratic.
    void planPatchLists()
    {
        for (const Instrument* instrument : m_instruments) {
            for (const Bank& bank : instrument->banks) {
                if (listAt(m_set.patchLists, bank.patchList) && ++m_plan.uses[useOf(*instrument, bank)] == 2)
                    m_plan.sharedPatchLists.push_back(useOf(*instrument, bank));
            }
        }
        UniqueNames unique;
        for (const Instrument* instrument : m_instruments) {
            for (const Bank& bank : instrument->banks) {
                const PatchList* list = listAt(m_set.patchLists, bank.patchList);
                const PatchListUse use = useOf(*instrument, bank);
                if (!list || m_plan.patchListNames.count(use) > 0)
                    continue;
                std::string name = cleanName(m_set, list->name);
                if (name.empty() && m_plan.shared(use))
                    name = cleanName(m_set, bank.name).empty() ? "Patches" : cleanName(m_set, bank.name);
                m_plan.patchListNames[use] = name.empty() ? name : unique.make(name);
            }
        }
    }

    void planNoteLists()
    {
        UniqueNames unique;
        auto use = [&](std::int32_t index) {
            const NoteList* list = listAt(m_set.noteLists, index);
            if (!list || m_plan.noteListName(index) != nullptr || !hasWritableNote(*list))
                return;
            const std::string name = cleanName(m_set, list->name);
            m_plan.noteListNames[index] = unique.make(name.empty() ? "Notes" : name);
            m_plan.noteListOrder.push_back(index);
        };
        for (const Instrument* instrument : m_instruments) {
            use(instrument->noteList);
            for (const Bank& bank : instrument->banks) {
                if (const PatchList* list = listAt(m_set.patchLists, bank.patchList)) {
                    for (const Patch& patch : list->patches)
                        use(patch.noteList);
                }
            }
        }
        // The device's lists that no patch uses stay in its document, as they were.
        if (const Device* device = listAt(m_set.devices, m_instruments.front()->device)) {
            for (const std::int32_t index : device->spareNoteLists)
                use(index);
        }
    }

    void planControls()
    {
        UniqueNames unique;
        for (const Instrument* instrument : m_instruments) {
            const ControlKey key{instrument->controllers, instrument->rpns, instrument->nrpns};
            const auto known = std::find(m_plan.controlKeys.begin(), m_plan.controlKeys.end(), key);
            if (known != m_plan.controlKeys.end()) {
                m_plan.controlListOf.push_back(static_cast<std::size_t>(known - m_plan.controlKeys.begin()));
                continue;
            }
            std::string name;
            std::size_t writable = 0;
            for (const std::int32_t index : key) {
                const ControlList* list = listAt(m_set.controlLists, index);
                if (!list)
                    continue;
                writable += static_cast<std::size_t>(
                    std::count_if(list->controls.begin(), list->controls.end(), [&](const NameEntry& entry) {
                        return entry.number <= limitOf(list->kind);
                    }));
                if (name.empty())
                    name = withoutSuffix(withoutSuffix(cleanName(m_set, list->name), " (RPN)"), " (NRPN)");
            }
            m_plan.controlListOf.push_back(m_plan.controlKeys.size());
            m_plan.controlKeys.push_back(key);
            m_plan.controlListNames.push_back(writable == 0 ? std::string()
                                                            : unique.make(name.empty() ? "Controls" : name));
        }
        if (const Device* device = listAt(m_set.devices, m_instruments.front()->device)) {
            for (const std::int32_t index : device->spareControlLists) {
                const ControlList* list = listAt(m_set.controlLists, index);
                if (!list ||
                    std::none_of(list->controls.begin(), list->controls.end(),
                                 [&](const NameEntry& entry) { return entry.number <= limitOf(list->kind); }))
                    continue;
                ControlKey key{kNoList, kNoList, kNoList};
                key[list->kind == ControlKind::Rpn ? 1 : list->kind == ControlKind::Nrpn ? 2 : 0] = index;
                const std::string name = cleanName(m_set, list->name);
                m_plan.controlKeys.push_back(key);
                m_plan.controlListNames.push_back(unique.make(name.empty() ? "Controls" : name));
            }
        }
    }

    const InstrumentSet& m_set;
    const std::vector<const Instrument*>& m_instruments;
    DocumentPlan m_plan;
};

} // namespace

std::uint16_t limitOf(ControlKind kind)
{
    return kind == ControlKind::Controller ? 127 : kind == ControlKind::Controller14 ? 31 : 16383;
}


BankSelect writtenSelect(const Instrument& instrument, const Bank& bank)
{
    if (bank.select == BankSelect{} && bank.number != 0)
        return bankSelectFor(instrument.method, bank.number);
    return bank.select;
}

PatchListUse useOf(const Instrument& instrument, const Bank& bank)
{
    return {bank.patchList, selectKey(writtenSelect(instrument, bank))};
}

bool DocumentPlan::shared(const PatchListUse& use) const
{
    const auto found = uses.find(use);
    return found != uses.end() && found->second > 1;
}

const std::string& DocumentPlan::patchListName(const PatchListUse& use) const
{
    static const std::string kNone;
    const auto found = patchListNames.find(use);
    return found != patchListNames.end() ? found->second : kNone;
}

const std::string* DocumentPlan::noteListName(std::int32_t index) const
{
    const auto found = noteListNames.find(index);
    return found != noteListNames.end() && !found->second.empty() ? &found->second : nullptr;
}

DocumentPlan planDocument(const InstrumentSet& set, const std::vector<const Instrument*>& instruments)
{
    return Planner(set, instruments).plan();
}

} // namespace quorvix::midnam
