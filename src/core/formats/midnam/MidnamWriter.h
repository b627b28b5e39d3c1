#pragma once

// Writer of MIDNAM documents: one device of a set as a document that is valid against
// MIDINameDocument10.dtd.
//
// The document is UTF-8 with LF line ends: an XML declaration, the DOCTYPE, a comment naming the source and
// the time stamp, and one MasterDeviceNames. An instrument that is one name set of a device with several
// (instruments of one Device) is written with the device's other name sets: Model elements for every model of
// the device, its CustomDeviceModes with their channel assignments, and one ChannelNameSet per name set,
// available on its channels. Any other instrument is written alone: Model = the instrument's name, one
// ChannelNameSet named like it, available on its channels, and a CustomDeviceMode "Default" that assigns
// every channel to it.
// - Every Bank is a PatchBank, named after the bank, else its patch list, else "Bank N" (N its number). Its
//   MIDICommands send what Bank.select sends: ControlChange 0 (MSB), ControlChange 32 (LSB) and a
//   ProgramChange. Under BankSelectMethod::ProgramChange that program change (100 + bank) is the bank select,
//   sent before the patch's own. A bank that selects nothing gets no MIDICommands; one whose select is empty
//   but whose number is not 0 sends what the instrument's method sends for that number.
// - Every patch is a Patch with Number (its label when it has one, else its program, as Ardour writes it),
//   Name and ProgramChange. A patch list that several banks of the same bank select use is written once,
//   after the name sets, and the banks refer to it with UsesPatchNameList; banks of different selects get
//   their own copy, as readers give the patches of a shared list one bank. Patch list names are made unique
//   with " (2)", " (3)", ….
// - The note lists the instruments and their patches use are NoteNameLists (empty ones are left out, as
// MIDNAM
//   cannot hold them), referred to with UsesNoteNameList; the controller, RPN and NRPN names of a name set
//   are one ControlNameList, controllers (7bit, 14bit) first, then RPN, then NRPN.
// - Patch, note and control names are written as they are, blanks and tabs included; other names trimmed.
// Names in Windows-1252 are converted to UTF-8; characters XML 1.0 cannot hold are left out, with one
// warning. The text goes to the sink in blocks as it is made: no document tree is built.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/Instrument.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// The manufacturer written when neither the options nor the instrument's device name one.
inline constexpr std::string_view kDefaultMidnamManufacturer = "Generic";

struct MidnamOptions
{
    std::string manufacturer; ///< empty: the instrument's device's, else kDefaultMidnamManufacturer
    std::string sourceName;   ///< named in the comment at the top (a file name); may be empty
    TimeStamp stamp;          ///< the time stamp of that comment
};

/// The instruments (indexes into set.instruments) that the document of `instrument` holds: those of its
/// device (its name sets), which stand next to each other in the set, or the instrument alone.
std::vector<std::size_t> midnamDocumentOf(const InstrumentSet& set, std::size_t instrument);

/// Streams one MIDNAM document for `instrument` (one of `set`'s, with its device's other name sets) into
/// `out`. What cannot be written as it is
/// (numbers out of range, characters XML cannot hold, an instrument without banks) is a warning.
void writeMidnam(const InstrumentSet& set, const Instrument& instrument, const MidnamOptions& options,
                 OutputSink& out, Diagnostics& warnings);

} // namespace quorvix
