#pragma once

// Writer of MusE instrument definitions (.idf): one instrument as a <MidiInstrument> of a <muse> document, in
// the XML subset MusE's own parser reads (double quotes, the five named entities, raw UTF-8, never a numeric
// character reference).
// - One PatchGroup per bank, named after it; each Patch with the bank bytes the bank's select sends (hbank
// the
//   MSB, lbank the LSB) and its program. MusE selects banks with CC0 and CC32 only: a bank selected with a
//   program change is written with the bytes of its number (MSB * 128 + LSB), with a warning.
// - A patch with drum-note names is drum="1", and its names are a Drummaps entry of its own (one entry per
//   program: MusE takes only the first program of a range).
// - Controller, 14-bit, RPN and NRPN names are <Controller>s.
// - MusE finds a patch by its bytes, program and drum flag: banks that cannot be told apart so and name the
//   same program go to a further MidiInstrument of the file, named after the instrument and the bank that
//   opened it, with a warning.
// Names are converted to UTF-8; tabs and line ends in them become spaces, characters XML cannot hold are
// left out, with one warning.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "model/Instrument.h"

namespace quorvix {

/// Streams the MusE instrument definition of `instrument` (one of `set`'s) into `out`; what MusE cannot hold
/// goes to `warnings`.
void writeMuse(const InstrumentSet& set, const Instrument& instrument, OutputSink& out,
               Diagnostics& warnings);

} // namespace quorvix
