#pragma once

// Writer of Rosegarden device files: one instrument as the gzip-compressed XML that Rosegarden's "Export
// Device" writes and its Manage MIDI Devices → Import reads.
//
// The file starts with Rosegarden's own header (declaration, DOCTYPE, <rosegarden-data>, <studio>) and holds
// one MIDI device named after the instrument, in Rosegarden's element order: banks with their programs,
// <controls>, key mappings.
// - A bank is written with the MSB and LSB its bank select sends; a device whose banks are selected with a
//   program change 100 + n is bankselecttype 1 and its banks LSB 100 + n. What Rosegarden sends differently
//   (CC32 0 beside an MSB alone, CC0 0 beside an LSB alone, CC0 0 / CC32 0 for a bank that selects nothing)
//   is one warning per kind, naming the banks.
// - A bank whose programs all have drum-note names is a percussion bank. Rosegarden tells banks apart by
//   (percussion, MSB, LSB): banks of one such key are written as one bank; banks of one key that name the
//   same program go to a further device of the file, named after the instrument and the bank that opened it.
// - Every program with note names names its key mapping; the note lists are the device's key mappings, with
//   the device's lists no program uses. Rosegarden drops a key mapping without keys: empty lists are left
//   out.
// - Controller names are <controls>; a 14-bit pair is written as its MSB controller. RPN and NRPN names,
//   which Rosegarden cannot hold, are named in a warning. Without controller names no <controls> is written,
//   so that Rosegarden keeps its default controllers.
// Names are converted to UTF-8 and escaped; characters XML cannot hold are left out, with one warning.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/Instrument.h"

#include <string>

namespace quorvix {

struct RosegardenOptions
{
    std::string sourceName; ///< named in the comment at the top (a file name); may be empty
    TimeStamp stamp;        ///< the time stamp of that comment
};

/// Streams the gzip-compressed device file of `instrument` (one of `set`'s) into `out`; what Rosegarden
/// cannot hold or sends differently goes to `warnings`.
void writeRosegarden(const InstrumentSet& set, const Instrument& instrument, const RosegardenOptions& options,
                     OutputSink& out, Diagnostics& warnings);

} // namespace quorvix
