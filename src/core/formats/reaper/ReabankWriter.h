#pragma once

// Writers of REAPER's files: bank files (.reabank) for ReaControlMIDI and the MIDI editor's Bank/Program
// Select, and note-name files for the MIDI editor's "Note/CC names > Load". Both are UTF-8 (names of a
// Windows-1252 set are converted) with LF line ends, which REAPER reads on every platform and which the
// bank files shipped by others use; every name is written on one line (see oneLine in ReaperText.h).
// Output goes to the sink line by line, so memory stays that of the set.

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TimeStamp.h"
#include "model/Instrument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvix {

/// What the header comments of a written file say besides the instrument.
struct ReaperOptions
{
    std::string sourceName; ///< the file the instrument came from, as the user should see it (UTF-8)
    TimeStamp stamp;
    bool notesWritten = false; ///< the note names go to note-name files: not named as left out
    /// What the warning about left-out note names suggests.
    std::string notesHint = "a REAPER note-name file can hold them";
};

/// Writes the instrument as a REAPER bank file: "//" header lines naming the instrument ("// Instrument:
/// NAME", which readReabank takes back), the source and the time; then per bank, in the instrument's
/// order, "Bank MSB LSB NAME" with MSB = number / 128 and LSB = number % 128, and its programs ascending as
/// "PROGRAM NAME". The bank's name is Bank.name, else its patch list's name, else "Bank NUMBER".
///
/// REAPER sends CC0 and CC32 for every bank, so an instrument whose method is MsbOnly, LsbOnly or
/// ProgramChange gets comment lines saying what the device expects and what that means in ReaControlMIDI
/// (for ProgramChange, also one before each bank naming its program change).
///
/// Warnings (no line numbers): a bank numbered outside 0..16383 is left out; a program above 127 is left
/// out; a program whose name is empty on one line is written as "Program N"; banks of one number that name
/// the same program (REAPER cannot tell them apart); one per kind of name a bank file cannot hold
/// (controller, RPN and NRPN names, note names unless notesWritten, the device's lists no patch uses).
void writeReabank(const InstrumentSet& set, const Instrument& instrument, const ReaperOptions& options,
                  OutputSink& out, Diagnostics& warnings);

/// A patch of an instrument.
struct PatchUser
{
    std::int32_t bank = 0;    ///< index into Instrument::banks
    std::uint8_t program = 0; ///< 0..127
};

/// A note list an instrument uses and the patches that use it.
struct NoteListUse
{
    std::int32_t noteList = kNoList; ///< index into InstrumentSet::noteLists
    bool instrumentDefault = false;  ///< the instrument's own noteList, for patches that name none
    std::vector<PatchUser> users;    ///< banks in the instrument's order, programs ascending
};

/// The distinct note lists the instrument uses, in the order of first use: the banks in order, in each the
/// patches by program, a patch using its own noteList or else the instrument's. The instrument's list comes
/// last, without users, when no patch uses it. Indexes outside set.noteLists are ignored.
std::vector<NoteListUse> noteListsOf(const InstrumentSet& set, const Instrument& instrument);

/// Writes note list `noteList` (an index into set.noteLists; nothing is written for another value) as a
/// REAPER note-name file: "#" lines naming the instrument and the list, the banks and programs that use it
/// (per bank a line with the programs in ranges, "0-7, 16"), the source and the time; then a line "NOTE
/// NAME" per named note from 0 to 127, highest note first as REAPER saves them. Notes whose name is empty on
/// one line are left out.
void writeReaperNoteNames(const InstrumentSet& set, const Instrument& instrument, std::int32_t noteList,
                          const ReaperOptions& options, OutputSink& out);

} // namespace quorvix
