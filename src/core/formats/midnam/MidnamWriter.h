#pragma once

// Writer of MIDNAM documents: one instrument of a set as a document that is valid against
// MIDINameDocument10.dtd.
//
// The document is UTF-8 with LF line ends: an XML declaration, the DOCTYPE, a comment naming the source and
// the time stamp, and one MasterDeviceNames (Manufacturer, Model = the instrument's name) whose
// CustomDeviceMode assigns all 16 channels to the one ChannelNameSet, named like the model and available on
// all 16 channels.
// - Every Bank is a PatchBank, named after the bank, else its patch list, else "Bank N" (N its number). Its
//   MIDICommands send what Bank.select sends: ControlChange 0 (MSB), ControlChange 32 (LSB) and a
//   ProgramChange. Under BankSelectMethod::ProgramChange that program change (100 + bank) is the bank select,
//   sent before the patch's own. A bank that selects nothing gets no MIDICommands; one whose select is empty
//   but whose number is not 0 sends what the instrument's method sends for that number.
// - Every patch is a Patch with Number (its program, as Ardour writes it), Name and ProgramChange. A patch
// list
//   several banks use is written once, after the name set, and the banks refer to it with UsesPatchNameList;
//   patch list names are made unique with " (2)", " (3)", ….
// - The note lists the instrument and its patches use are NoteNameLists (empty ones are left out, as MIDNAM
//   cannot hold them), referred to with UsesNoteNameList; the controller, RPN and NRPN names are one
//   ControlNameList (types 7bit, 14bit, RPN, NRPN) the name set uses.
// Names in Windows-1252 are converted to UTF-8; characters XML 1.0 cannot hold are left out, with one
// warning. The text goes to the sink in blocks as it is made: no document tree is built.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/Instrument.h"

#include <string>
#include <string_view>

namespace quorvix {

/// The manufacturer written when neither the options nor the instrument's device name one.
inline constexpr std::string_view kDefaultMidnamManufacturer = "Generic";

struct MidnamOptions
{
    std::string manufacturer; ///< empty: the instrument's device's, else kDefaultMidnamManufacturer
    std::string sourceName;   ///< named in the comment at the top (a file name); may be empty
    TimeStamp stamp;          ///< the time stamp of that comment
};

/// Streams one MIDNAM document for `instrument` (one of `set`'s) into `out`. What cannot be written as it is
/// (numbers out of range, characters XML cannot hold, an instrument without banks) is a warning.
void writeMidnam(const InstrumentSet& set, const Instrument& instrument, const MidnamOptions& options,
                 OutputSink& out, Diagnostics& warnings);

} // namespace quorvix
