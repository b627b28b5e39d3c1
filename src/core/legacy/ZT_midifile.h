#pragma once

// The instrument definition library: seven plain functions around one opaque handle. One handle holds one
// loaded .ins file and the definition chosen in it. Every function returns 0 on success.

#include <cstddef>
#include <cstdint>

/// Opaque handle of one loaded instrument definition file.
struct MIDIFile;

/// One instrument definition of a loaded file.
struct ZT_cwdef
{
    char name[80]; ///< definition name, NUL-terminated, cut to fit
};

/// One voice (named program) of the chosen definition.
struct ZT_cwbankvoice
{
    char reserved[64];  ///< unused; zero
    std::int32_t bank;  ///< bank select MSB * 128 + LSB
    char name[64];      ///< voice name as read (bytes), NUL-terminated, cut to fit
    std::int32_t program; ///< program number counted from 0
};

static_assert(sizeof(ZT_cwdef) == 80);
static_assert(sizeof(ZT_cwbankvoice) == 136);
static_assert(offsetof(ZT_cwbankvoice, bank) == 64);
static_assert(offsetof(ZT_cwbankvoice, name) == 68);
static_assert(offsetof(ZT_cwbankvoice, program) == 132);

/// Returns a new, empty handle; null when none can be created.
MIDIFile* ZT_Init();

/// Releases a handle and everything it holds. Null is ignored.
std::uint32_t ZT_Free(MIDIFile* file);

/// Releases an array handed out by ZT_CWInsGetDefs or ZT_CWInsGetBankVoiceList. Null is ignored.
void ZT_Delete(void* array);

/// Loads an .ins file (path as bytes). Fails for a file that cannot be read or is no instrument definition
/// file; a failed load leaves the handle empty.
std::uint32_t ZT_CWInsLoad(MIDIFile* file, const char* path);

/// Hands out a new array of the loaded file's definitions, in file order. Sets *defs on every return (null
/// when nothing was handed out); fails when the file holds no definition.
std::uint32_t ZT_CWInsGetDefs(MIDIFile* file, ZT_cwdef** defs, int* count);

/// Chooses the definition at the 0-based index of the ZT_CWInsGetDefs array.
std::uint32_t ZT_CWInsSetDef(MIDIFile* file, int index);

/// Hands out a new array of every voice of the chosen definition. `text` is unused (pass "").
std::uint32_t ZT_CWInsGetBankVoiceList(MIDIFile* file, char* text, ZT_cwbankvoice** voices, long* count);
