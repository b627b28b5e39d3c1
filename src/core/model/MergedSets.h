#pragma once

// Several files' instruments as one set, so that one file can be written of them all (a master .ins of every
// instrument a studio has, say). Each set's devices and instruments stay its own; a list that an earlier set
// already holds under the same name with the same content is kept once and shared.

#include "model/Instrument.h"

#include <cstddef>
#include <vector>

namespace quorvix {

/// The sets' devices, lists and instruments in one set, in the sets' order: instruments of set n follow
/// those of set n - 1. Names keep their bytes when every set is in one encoding; otherwise every name is
/// converted to UTF-8. Lists identical to an earlier set's (name, entries and the device a spare list
/// belongs to) are shared; lists that only share a name are kept apart (a writer makes their names unique).
/// `firstInstrument` (when given) gets the index of each set's first instrument in the result.
InstrumentSet mergedSets(std::vector<InstrumentSet> sets,
                         std::vector<std::size_t>* firstInstrument = nullptr);

} // namespace quorvix
