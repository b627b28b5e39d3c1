#include "model/NamedNumbers.h"

#include <algorithm>
#include <stdexcept>

namespace quorvix {

namespace {

template <typename Map>
const TextRef* nameIn(const Map& map, std::uint16_t number)
{
    const auto found = map.find(number);
    return found != map.end() ? &found->second : nullptr;
}

/// A new list of the set with the names of `map`; kNoList when there are none.
std::int32_t makeControlList(InstrumentSet& set, ControlKind kind,
                             const std::map<std::uint16_t, TextRef>& map, TextRef name)
{
    if (map.empty())
        return kNoList;
    ControlList list{name, kind, {}};
    for (const auto& [number, text] : map)
        list.controls.push_back(NameEntry{number, text});
    set.controlLists.push_back(std::move(list));
    return static_cast<std::int32_t>(set.controlLists.size() - 1);
}

} // namespace

const TextRef* ControlNames::find(ControlKind kind, std::uint16_t number) const
{
    switch (kind) {
    case ControlKind::Rpn:
        return nameIn(m_rpns, number);
    case ControlKind::Nrpn:
        return nameIn(m_nrpns, number);
    default:
        break;
    }
    const auto found = m_controllers.find(number);
    return found != m_controllers.end() ? &found->second.name : nullptr;
}

bool ControlNames::add(ControlKind kind, std::uint16_t number, TextRef name)
{
    switch (kind) {
    case ControlKind::Rpn:
        return m_rpns.try_emplace(number, name).second;
    case ControlKind::Nrpn:
        return m_nrpns.try_emplace(number, name).second;
    default:
        return m_controllers.try_emplace(number, Controller{name, kind == ControlKind::Controller14}).second;
    }
}

void ControlNames::addList(const InstrumentSet& set, std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= set.controlLists.size())
        return;
    const ControlList& list = set.controlLists[static_cast<std::size_t>(index)];
    for (const NameEntry& entry : list.controls)
        add(list.kind, entry.number, entry.name);
}

std::size_t ControlNames::pairsAsMsb() const
{
    const auto pairs = static_cast<std::size_t>(std::count_if(
        m_controllers.begin(), m_controllers.end(), [](const auto& entry) { return entry.second.pair; }));
    return pairs == m_controllers.size() ? 0 : pairs;
}

void ControlNames::makeLists(InstrumentSet& set, Instrument& instrument, TextRef name) const
{
    std::map<std::uint16_t, TextRef> controllers;
    for (const auto& [number, controller] : m_controllers)
        controllers.emplace(number, controller.name);
    const bool pairs = !m_controllers.empty() && pairsAsMsb() == 0 && m_controllers.begin()->second.pair;
    instrument.controllers =
        makeControlList(set, pairs ? ControlKind::Controller14 : ControlKind::Controller, controllers, name);
    instrument.rpns = makeControlList(set, ControlKind::Rpn, m_rpns, name);
    instrument.nrpns = makeControlList(set, ControlKind::Nrpn, m_nrpns, name);
}

const TextRef* NoteNames::find(std::uint16_t note) const
{
    return nameIn(m_notes, note);
}

bool NoteNames::add(std::uint16_t note, TextRef name)
{
    return m_notes.try_emplace(note, name).second;
}

void NoteNames::addList(const InstrumentSet& set, std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= set.noteLists.size())
        return;
    for (const NameEntry& entry : set.noteLists[static_cast<std::size_t>(index)].notes)
        add(entry.number, entry.name);
}

std::int32_t NoteNames::makeList(InstrumentSet& set, TextRef name, std::int32_t device) const
{
    if (set.noteLists.size() >= kMostNoteLists)
        throw std::length_error("more note lists than a set holds");
    NoteList list{name, {}, device};
    for (const auto& [note, text] : m_notes)
        list.notes.push_back(NameEntry{note, text});
    set.noteLists.push_back(std::move(list));
    return static_cast<std::int32_t>(set.noteLists.size() - 1);
}

} // namespace quorvix
