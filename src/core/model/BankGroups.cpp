#include "model/BankGroups.h"

#include <algorithm>
#include <bitset>
#include <string>
#include <unordered_map>

namespace quorvix {

std::int32_t bankNumberUnder(BankSelectMethod method, std::int32_t number)
{
    switch (method) {
    case BankSelectMethod::MsbOnly:
        return number / 128;
    case BankSelectMethod::LsbOnly:
        return number % 128;
    default:
        return number;
    }
}

std::vector<BankGroup> bankGroups(const InstrumentSet& set, const Instrument& instrument)
{
    return bankGroups(set, instrument,
                      [&](const Bank& bank) { return bankNumberUnder(instrument.method, bank.number); });
}

std::vector<BankGroup> bankGroups(const InstrumentSet& set, const Instrument& instrument,
                                  const std::function<std::int64_t(const Bank&)>& keyOf)
{
    using Programs = std::bitset<256>;
    struct Taken
    {
        std::size_t group;
        Programs programs;
        std::size_t firstBank;
    };
    std::vector<BankGroup> groups;
    // Per bank number, the groups holding banks of that number, in group order.
    std::unordered_map<std::int64_t, std::vector<Taken>> byNumber;
    std::size_t lastFurther = 0;
    for (std::size_t b = 0; b < instrument.banks.size(); ++b) {
        const Bank& bank = instrument.banks[b];
        const PatchList* list = set.patchListOf(bank);
        if (list == nullptr)
            continue;
        Programs programs;
        for (const Patch& patch : list->patches)
            programs.set(static_cast<std::size_t>(patch.program) & 255);
        std::vector<Taken>& taken = byNumber[keyOf(bank)];
        const auto entry = [&](std::size_t group) {
            return std::lower_bound(taken.begin(), taken.end(), group,
                                    [](const Taken& t, std::size_t g) { return t.group < g; });
        };
        const auto fits = [&](std::size_t group) {
            const auto at = entry(group);
            return at == taken.end() || at->group != group || (at->programs & programs).none();
        };
        // The first group, else the group the last bank that did not fit the first went to (the banks of one
        // mode of a device follow each other), else the first that fits, else a new one.
        std::size_t group = 0;
        if (!fits(0)) {
            group = lastFurther < groups.size() && fits(lastFurther) ? lastFurther : 1;
            while (group < groups.size() && !fits(group))
                ++group;
            if (group == groups.size())
                groups.push_back(BankGroup{{}, b, taken.front().firstBank});
            lastFurther = group;
        }
        if (groups.empty())
            groups.emplace_back();
        groups[group].banks.push_back(b);
        const auto at = entry(group);
        if (at != taken.end() && at->group == group)
            at->programs |= programs;
        else
            taken.insert(at, Taken{group, programs, b});
    }
    return groups;
}

std::string bankSelectText(const BankSelect& select)
{
    std::string text;
    const auto add = [&](std::string_view what, std::int32_t value) {
        if (value >= 0)
            text += (text.empty() ? "" : " / ") + std::string(what) + std::to_string(value);
    };
    add("CC0 ", select.msb);
    add("CC32 ", select.lsb);
    add("program change ", select.program);
    return text.empty() ? "nothing" : text;
}

std::string bankTitle(const InstrumentSet& set, const Bank& bank)
{
    if (!bank.name.empty())
        return std::string(set.text(bank.name));
    if (const PatchList* list = set.patchListOf(bank); list != nullptr && !list->name.empty())
        return std::string(set.text(list->name));
    return "Bank " + std::to_string(bank.number);
}

} // namespace quorvix
