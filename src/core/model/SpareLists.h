#pragma once

// The lists a device's file holds that no instrument uses (a MIDNAM document's drum kits that no patch
// names, say): formats that hold lists apart from patches keep them, the others name them as left out.

#include "model/Instrument.h"

#include <cstddef>

namespace quorvix {

struct SpareLists
{
    std::size_t notes = 0;    ///< note lists
    std::size_t controls = 0; ///< controller, RPN and NRPN lists
};

/// How many lists of the set belong to `device` and to no instrument. None for a device of -1.
SpareLists spareListsOf(const InstrumentSet& set, std::int32_t device);

} // namespace quorvix
