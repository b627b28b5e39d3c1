#pragma once

// What a MIDNAM document of some instruments will hold, decided before it is written: the models, the name
// sets' names, which patch lists are written once and shared, and the names of every list. Private to
// formats/midnam.

#include "model/Instrument.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvix::midnam {

/// A patch list and the bank select of the bank it is written in.
using PatchListUse = std::pair<std::int32_t, std::int64_t>;
/// The controller, RPN and NRPN lists of a name set, written as one ControlNameList.
using ControlKey = std::array<std::int32_t, 3>;

template <typename List>
const List* listAt(const std::vector<List>& lists, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < lists.size()
               ? &lists[static_cast<std::size_t>(index)]
               : nullptr;
}

/// The highest number a control of `kind` may have.
std::uint16_t limitOf(ControlKind kind);


/// What a bank's MIDICommands send: its select, or for a bank that selects nothing but is not bank 0 what
/// the instrument's method sends for its number.
BankSelect writtenSelect(const Instrument& instrument, const Bank& bank);
PatchListUse useOf(const Instrument& instrument, const Bank& bank);

struct DocumentPlan
{
    std::vector<std::string> models;                    ///< the first is the device's own
    std::vector<std::string> nameSetNames;              ///< by instrument, unique
    std::map<PatchListUse, int> uses;                   ///< how many banks write a list in one select
    std::map<PatchListUse, std::string> patchListNames; ///< empty: written without a name
    std::vector<PatchListUse> sharedPatchLists;         ///< written once, after the name sets
    std::unordered_map<std::int32_t, std::string> noteListNames; ///< absent or empty: not written
    std::vector<std::int32_t> noteListOrder;
    std::vector<ControlKey> controlKeys;
    std::vector<std::string> controlListNames; ///< by control key; empty: nothing to write
    std::vector<std::size_t> controlListOf;    ///< the control key of each instrument

    bool shared(const PatchListUse& use) const;
    const std::string& patchListName(const PatchListUse& use) const;
    /// The name a note list is written with; null when it is not written.
    const std::string* noteListName(std::int32_t index) const;
};

/// The plan of a document of `instruments` (one of them, or the name sets of one device) of `set`.
DocumentPlan planDocument(const InstrumentSet& set, const std::vector<const Instrument*>& instruments);

} // namespace quorvix::midnam
