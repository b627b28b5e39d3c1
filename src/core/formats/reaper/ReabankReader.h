#pragma once

// Reader of REAPER bank files (.reabank), the program names that ReaControlMIDI and the MIDI editor's
// Bank/Program Select offer. A file is a list of lines:
//
//   // a comment                  (Reaticulate's "//!" annotations are comments too)
//   Bank MSB LSB NAME             opens a bank: CC0 = MSB, CC32 = LSB, each 0..127
//   PROGRAM NAME                  a program of the bank above, 0..127; the name is the rest of the line
//
// Blank lines are allowed anywhere; spaces and tabs separate the fields; "Bank" is matched without regard
// to case, as Reaticulate does. Line ends may be LF, CR LF or CR.

#include "model/ReadResult.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvix {

/// How much of a file looksLikeReabank() looks at.
inline constexpr std::size_t kReabankSniffSize = 64 * 1024;

/// True when the first kReabankSniffSize bytes of `head` read as a REAPER bank file: no NUL byte, and the
/// first line that is neither blank nor a "//" comment is a "Bank MSB LSB ..." line whose MSB and LSB are
/// numbers from 0 to 127 or "*", so that readReabank finds at least that bank. A UTF-8 byte-order mark is
/// skipped. Cakewalk instrument definitions
/// (";" comments, "[section]" lines), Cubase scripts ("[cubase parse file]") and MIDNAM ("<?xml") never
/// pass, nor do REAPER note-name files ("#" comments, "NOTE NAME" lines, no Bank line).
bool looksLikeReabank(std::string_view head);

/// Reads a REAPER bank file into one Instrument with one PatchList per bank, named like the bank, its
/// programs ascending. What it does with lines it cannot take (each a warning with its line number):
///   - a line that is no Bank line, program line or comment is skipped;
///   - a Bank line whose MSB or LSB is not a number from 0 to 127 or "*" is skipped with the programs under
///     it;
///   - a "*" MSB or LSB is Reaticulate's placeholder, which Reaticulate replaces with a number when it
///     builds the file it hands to REAPER (REAPER itself needs numbers). The bank is kept; the starred part
///     is recorded as not sent (BankSelect -1) and counts 0 in the bank number;
///   - a program outside 0..127, a program without a name, or a program before the first Bank line is
///     skipped; a program given twice in one bank keeps the later name.
/// Two banks with the same MSB and LSB stay two banks (files such as the SC-88 Pro one list drum sets under
/// the same numbers as the instruments, for channel 10).
///
/// The instrument is named by the first comment before the first Bank line that reads "Instrument: NAME"
/// (what writeReabank writes), else by the file's first comment line when it is a title of the form
/// "NAME Reabank ..." (such as "// SC-88 Pro Reabank File v1.0.0"), else by `fileStem` (UTF-8). Its
/// method is the one every bank's select agrees on (banks that send neither CC count for any method);
/// Normal when they differ.
///
/// Names are bytes of the source: UTF-8 when the whole file is valid UTF-8 (a byte-order mark skipped),
/// else Windows-1252. The read fails, with no warnings and no instrument kept, when the file holds a NUL
/// byte, is empty, has no usable Bank line, or is larger than 2 GiB.
ReadResult readReabank(std::string bytes, std::string_view fileStem);

} // namespace quorvix
