#pragma once

// Reading MusE instrument definitions (.idf), as MusE reads them: MusE's own parser takes files that are not
// well-formed XML (a raw "&", "<" or a stray quote in a value), so such a file is read in libxml2's recovery
// mode, with a warning.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// True when the bytes are XML whose first element is <muse>.
bool looksLikeMuse(std::string_view bytes);

/// Reads every <MidiInstrument> of the file as one instrument named after it:
/// - a bank per (drum flag, hbank, lbank) of its patches, a missing byte "not sent"; the bank-select method
/// is
///   MSB only (or LSB only) when no bank sends the other byte; a bank whose patches all come from one
///   PatchGroup is named after it;
/// - programs from `prog`; a patch without one (it stands for every program) is left out, with a warning;
/// - <Drummaps> entries as note lists of the drum patches their patch_collection names (a range names each
///   program in it, although MusE takes only its first, which is warned about); one without a collection is
///   the note list of every drum patch without one of its own;
/// - <Controller>s as controller (7-bit, 14-bit), RPN and NRPN names; per-note controllers, pitch bend,
///   program and aftertouch controllers are warned about; SysEx and Init blocks are not carried (one
///   warning).
/// A file that is not well-formed XML is read as libxml2 recovers it, with one warning saying where it is
/// not; numeric character references, which MusE drops, are warned about.
ReadResult readMuse(std::string bytes, std::string_view fileStem = {});

} // namespace quorvix
