#pragma once

// Names that another file adds to the instruments written from a set: the controller, RPN and NRPN names
// of a controller table, the drum-note names of a drum kit's list. Each instrument keeps its own names; the
// other file's names fill the numbers it leaves unnamed.

#include "model/Instrument.h"

#include <cstddef>
#include <span>
#include <vector>

namespace quorvix {

/// What adding names did.
struct NamesAdded
{
    std::size_t clashes = 0; ///< numbers both name, differently: the instrument's own name is kept
    std::size_t changed = 0; ///< names with characters the set's encoding lacks, written with "?"
    /// Instruments whose patches name no drum notes: the notes are added as a list no patch uses.
    std::vector<std::size_t> withoutDrums;
};

/// True when `from` holds controller, RPN or NRPN names: in its instruments' lists or its devices' lists
/// that no instrument uses.
bool holdsControlNames(const InstrumentSet& from);

/// Adds the controller, RPN and NRPN names of `from` (its instruments' lists, then its devices' spare
/// lists; of a number named twice, the first name) to the instruments `chosen` of `set`. Instruments that
/// shared their lists share the new ones.
NamesAdded addControlNames(InstrumentSet& set, std::span<const std::size_t> chosen,
                           const InstrumentSet& from);

/// The note list of `from` that names its drum notes: its first instrument's own, else the first its
/// patches use, else the first of its devices' spare lists; null when none of them names a note.
/// `lists` (when given) is how many note lists with names `from` holds.
const NoteList* drumNotesOf(const InstrumentSet& from, std::size_t* lists = nullptr);

/// Adds the names of `notes` (a list of `from`) to every note list the drum voices of the instruments
/// `chosen` of `set` use (the patches with note names). An instrument without patches takes them as its
/// note list; one whose patches name no drum notes as a list of its device that no patch uses (a device
/// named after it is made when it has none).
NamesAdded addDrumNotes(InstrumentSet& set, std::span<const std::size_t> chosen, const InstrumentSet& from,
                        const NoteList& notes);

} // namespace quorvix
