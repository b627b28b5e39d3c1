#pragma once

// Writer of Squarp Hapax instrument definitions: one instrument as the text files the Hapax loads from the
// HAPAX folder of its SD card. Every file it writes loads:
// - "VERSION 1", a comment, TRACKNAME (the instrument's name), TYPE DRUM for an instrument whose voices are
//   all drum kits (or that has drum-note names and no voices), else TYPE POLY; LF line ends, ASCII;
// - [DRUMLANES] of a DRUM definition: the first 8 (or 16) notes of its drum-note list, one row each, as
//   ROW:NULL:NULL:NOTE NAME (the track's channel, no fixed velocity); the other notes named in a warning;
// - [PC]: every voice as PC:MSB:LSB NAME, PC = program + 1, NULL for a bank byte its bank select does not
//   send. The Hapax holds 128 [PC] lines a file: a larger instrument is written as several files of whole
//   banks (hapaxParts), each with every other section;
// - [CC] controller names 0-127, [CC_PAIR] for 14-bit controllers, [NRPN] MSB:LSB:7 for NRPN names.
// Names keep only the characters the Hapax takes (hapax::deviceName); a name left empty is written as its
// number ("PC 12"). What a definition cannot hold (RPN names, programs above 127, banks selected with a
// program change, drum names of a definition that is not all drum kits) is named in warnings, each kind in
// one line with a count.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "formats/hapax/HapaxSyntax.h"
#include "model/Instrument.h"

#include <cstddef>
#include <string>

namespace quorvix {

struct HapaxOptions
{
    std::string sourceName;      ///< named in the comment at the top (a file name); may be empty
    TimeStamp stamp;             ///< the time stamp of that comment
    int drumRows = hapax::kRows; ///< 8, or 16 for firmware 3.10 and later
    std::size_t file = 0;        ///< which of the instrument's files to write (see hapaxParts), from 0
};

/// How many files `instrument` is written as: 1 for up to 128 voices; else its banks in order, as many
/// whole banks a file as fit in its 128 [PC] lines.
std::size_t hapaxParts(const InstrumentSet& set, const Instrument& instrument);

/// Streams file `options.file` of the definition of `instrument` (one of `set`'s) into `out`; what it
/// cannot hold, and what it changed, goes to `warnings` (what all files share with the first file only).
void writeHapax(const InstrumentSet& set, const Instrument& instrument, const HapaxOptions& options,
                OutputSink& out, Diagnostics& warnings);

} // namespace quorvix
