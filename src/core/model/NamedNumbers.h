#pragma once

// Controller, RPN, NRPN and note names gathered number by number before they become lists of a set: for
// readers that find them row by row, and for names added from another file.

#include "model/Instrument.h"

#include <cstddef>
#include <cstdint>
#include <map>

namespace quorvix {

/// The controller, RPN and NRPN names of one instrument, each number once.
class ControlNames
{
public:
    /// The name a kind gives a number, or null. 7-bit controllers and 14-bit pairs share their numbers.
    const TextRef* find(ControlKind kind, std::uint16_t number) const;
    /// Names the number unless the kind names it already; false then (the first name stays).
    bool add(ControlKind kind, std::uint16_t number, TextRef name);
    /// Adds the names of the set's list `index` (nothing for an index outside the set's lists).
    void addList(const InstrumentSet& set, std::int32_t index);
    /// Calls `visit(ControlKind, const NameEntry&)` for every name: controllers, then RPNs, then NRPNs,
    /// each by number.
    template <typename Visit>
    void forEach(Visit&& visit) const
    {
        for (const auto& [number, controller] : m_controllers)
            visit(controller.pair ? ControlKind::Controller14 : ControlKind::Controller,
                  NameEntry{number, controller.name});
        for (const auto& [number, name] : m_rpns)
            visit(ControlKind::Rpn, NameEntry{number, name});
        for (const auto& [number, name] : m_nrpns)
            visit(ControlKind::Nrpn, NameEntry{number, name});
    }
    bool empty() const { return m_controllers.empty() && m_rpns.empty() && m_nrpns.empty(); }
    /// The 14-bit pairs makeLists writes as the 7-bit controller of their MSB: all of them when 7-bit
    /// controllers stand beside them (an instrument has one controller list), else none.
    std::size_t pairsAsMsb() const;
    /// Gives the instrument new lists of the set with these names, each named `name`: the controllers
    /// (a list of 14-bit pairs when there are only pairs), the RPNs and the NRPNs; kNoList for a kind
    /// without names.
    void makeLists(InstrumentSet& set, Instrument& instrument, TextRef name) const;

private:
    struct Controller
    {
        TextRef name;
        bool pair = false;
    };
    std::map<std::uint16_t, Controller> m_controllers;
    std::map<std::uint16_t, TextRef> m_rpns;
    std::map<std::uint16_t, TextRef> m_nrpns;
};

/// Note names, each number once.
class NoteNames
{
public:
    const TextRef* find(std::uint16_t note) const;
    /// Names the note unless it is named already; false then (the first name stays).
    bool add(std::uint16_t note, TextRef name);
    void addList(const InstrumentSet& set, std::int32_t index);
    bool empty() const { return m_notes.empty(); }
    std::size_t size() const { return m_notes.size(); }
    /// Adds a list of these names, named `name`, to the set; its index. Throws std::length_error when the
    /// set holds kMostNoteLists lists already.
    std::int32_t makeList(InstrumentSet& set, TextRef name, std::int32_t device = -1) const;

private:
    std::map<std::uint16_t, TextRef> m_notes;
};

} // namespace quorvix
