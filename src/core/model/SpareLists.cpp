#include "model/SpareLists.h"

namespace quorvix {

SpareLists spareListsOf(const InstrumentSet& set, std::int32_t device)
{
    SpareLists spare;
    if (device < 0)
        return spare;
    for (const NoteList& list : set.noteLists)
        spare.notes += list.device == device ? 1 : 0;
    for (const ControlList& list : set.controlLists)
        spare.controls += list.device == device ? 1 : 0;
    return spare;
}

} // namespace quorvix
