#pragma once

// Reading a Cubase patchname script into the instrument model, for every conversion except the window's to a
// Cakewalk instrument definition (CakewalkDefinitionWriter.h), which keeps its bank texts as written. Both
// read the script's lines through forEachScriptLine (ScriptLines.h).

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// Whether the text is a Cubase patchname script: its first line that is not blank starts with
/// "[cubase parse file]", or it holds an entry line ("[p" and a digit, after spaces, then a program number
/// and a "]").
bool looksLikeCubaseScript(std::string_view text);

/// Reads a script into one instrument, named after its "[device name]" (else `fileStem`), with the
/// "[device manufacturer]" as its device's manufacturer.
/// - Entry lines are read as the Cakewalk conversion reads them (lines end at LF or CR LF; a line indented
///   with a tab is no entry line); "[pN, program, msb, lsb] name" selects its bank with CC0 = msb and CC32 =
///   lsb, and a negative msb or lsb (-1) is not sent; with two numbers the second is the bank number MSB *
///   128 + LSB.
/// - Banks in the order they first appear, programs ascending; a program named twice in one bank keeps its
///   later name. A bank is named after the group heading ("[g1]", "[g2]") its entries stand under, when
///   they all stand under one heading that holds no other bank.
/// - Entries that no MIDI message can select (program above 127, MSB or LSB above 127, bank above 16383) are
///   left out with a warning. A script without any entry line is an error.
ReadResult readCubaseScript(std::string bytes, std::string_view fileStem);

} // namespace quorvix
