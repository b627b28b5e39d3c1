#include "model/SpareLists.h"

namespace quorvix {

SpareLists spareListsOf(const InstrumentSet& set, std::int32_t device)
{
    SpareLists spare;
    if (device < 0 || static_cast<std::size_t>(device) >= set.devices.size())
        return spare;
    const Device& held = set.devices[static_cast<std::size_t>(device)];
    spare.notes = held.spareNoteLists.size();
    spare.controls = held.spareControlLists.size();
    return spare;
}

} // namespace quorvix
