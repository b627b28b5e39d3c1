#pragma once

// Reader of MIDNAM documents (MIDI Name Document 1.0, XML): the patch, note and controller names of MIDI
// devices, as Ardour and other sequencers use them.
//
// What becomes of a document:
// - Every MasterDeviceNames is one Device (its Manufacturer, its Model elements, the channels each
//   CustomDeviceMode assigns to each name set; a Device element gives the model from its Name) and one
//   Instrument per ChannelNameSet (with its name and the channels it is available on), named after the
//   model, or "Model (name set)" when the device has several name sets. A root-level StandardDeviceMode
//   (whose name sets hold its banks) gives instruments named after the mode, with no device.
// - Every PatchBank is a Bank named after it, selected by the ControlChange 0 (MSB), ControlChange 32 (LSB)
//   and ProgramChange of its MIDICommands. A patch whose PatchMIDICommands send CC0 or CC32 belongs to the
//   bank they select: a PatchBank whose patches select several banks becomes one Bank (of the same name) per
//   bank they select, in the order they first appear. Other commands (SysEx, other controllers) are not kept.
// - A PatchNameList used by several banks stays one PatchList that those Banks share.
// - NoteNameList becomes a NoteList (the notes of its NoteGroups included); ControlNameList becomes up to
// three
//   ControlLists: controllers (7-bit, or 14-bit), RPNs " (RPN)" and NRPNs " (NRPN)". Value names are not
//   read.
// - A Patch's Number is kept as the patch's label.
// - Names are UTF-8 as the document holds them. Patch, note and control names keep their blanks; the other
//   names are trimmed of white space.
// Everything left out, skipped or not found is a warning with its line and column; columns count bytes.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// True when the bytes (a whole file, or its first bytes) are an XML document whose root element is
/// MIDINameDocument: after an optional byte-order mark, XML declaration, comments, processing instructions
/// and DOCTYPE (its internal subset of any length), the first element is <MIDINameDocument>. Text before it
/// is no markup: the answer is false. UTF-16 and UTF-32 documents (with a byte-order mark or an XML
/// declaration) are recognised too. Only the bytes up to the first element's name are looked at.
bool looksLikeMidnam(std::string_view bytes);

/// True when the bytes end before the first element's name: the first bytes of a longer file may then still
/// be a MIDNAM document (see looksLikeMidnam).
bool endsInXmlProlog(std::string_view head);

/// Reads a whole MIDNAM document into an InstrumentSet (encoding Utf8); a UTF-16 or UTF-32 document is read
/// as its UTF-8 text. Fails when the bytes are no
/// well-formed XML (the error has pugixml's description, line and column), when the root element is not
/// MIDINameDocument, or when the document holds no device (only ExtendingDeviceNames, lists for devices of
/// other files). A document that breaks the DTD is read as far as it makes sense.
ReadResult readMidnam(std::string bytes);

} // namespace quorvix
