#pragma once

// Loading an .ins file for a command, the way the main window loads it: through the ZT_ functions, so that
// every command sees the same definitions and voices as the GUI.

#include "formats/ins/InsReader.h"
#include "legacy/ZT_midifile.h"

#include <memory>
#include <ostream>
#include <string>

namespace quorvix::cli {

struct MidiFileCloser
{
    void operator()(MIDIFile* file) const { ZT_Free(file); }
};
using MidiFileHandle = std::unique_ptr<MIDIFile, MidiFileCloser>;

/// Prints every warning of the reader as "FILE:LINE: warning: MESSAGE", FILE being `path` as given.
void printInsWarnings(const std::string& path, const InsFile& file, std::ostream& err);

/// Loads the .ins file at `path` into a new library handle and prints the reader's warnings to `err`. When
/// the file cannot be loaded it prints "Error Open InsDef-File: PATH: REASON"; when it holds no definition,
/// "Error: No Instrumentendefinitions in file: PATH"; both then throw CommandExit{kExitFailure}. On return
/// the handle holds at least one definition; insFileOf(handle.get()) gives names and voice counts.
MidiFileHandle loadInsFile(const std::string& path, std::ostream& err);

} // namespace quorvix::cli
