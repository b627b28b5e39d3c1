#pragma once

// The instrument definition library: seven plain functions around one opaque handle. One handle holds one
// loaded .ins file and the definition chosen in it. Every function returns 0 on success.

#include "formats/ins/InsReader.h"
#include "model/VoiceRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// Opaque handle of one loaded instrument definition file.
struct MIDIFile;

/// Returns a new, empty handle; null when none can be created.
MIDIFile* ZT_Init();

/// Releases a handle and everything it holds. Null is ignored.
std::uint32_t ZT_Free(MIDIFile* file);

/// Releases an array handed out by ZT_CWInsGetDefs or ZT_CWInsGetBankVoiceList. Null is ignored.
void ZT_Delete(void* array);

/// Loads an .ins file (path as bytes). Fails for a file that cannot be read or is no instrument definition
/// file; a failed load leaves the handle empty.
std::uint32_t ZT_CWInsLoad(MIDIFile* file, const char* path);
/// Loads an .ins file from its bytes, read already (from a pipe, which reads only once), as ZT_CWInsLoad
/// loads it from its path.
std::uint32_t ZT_CWInsLoadBytes(MIDIFile* file, std::string bytes);

/// Hands out a new array of the loaded file's definitions, in file order. Sets *defs on every return (null
/// when nothing was handed out); fails when the file holds no definition.
std::uint32_t ZT_CWInsGetDefs(MIDIFile* file, ZT_cwdef** defs, int* count);

/// Chooses the definition at the 0-based index of the ZT_CWInsGetDefs array.
std::uint32_t ZT_CWInsSetDef(MIDIFile* file, int index);

/// Hands out a new array of every voice of the chosen definition. `text` is unused (pass "").
std::uint32_t ZT_CWInsGetBankVoiceList(MIDIFile* file, char* text, ZT_cwbankvoice** voices, long* count);

namespace quorvix {

/// The reader behind a library handle: after ZT_CWInsLoad it holds that load's definitions, warnings and,
/// when the load failed, its error. Null for a null handle.
const InsFile* insFileOf(const MIDIFile* file);
InsFile* insFileOf(MIDIFile* file);

/// The index (into the loaded file's set().instruments) of the definition ZT_CWInsSetDef chose; false when
/// no file is loaded or no definition has been chosen since the load.
bool chosenDefinitionOf(const MIDIFile* file, std::size_t& index);

} // namespace quorvix
