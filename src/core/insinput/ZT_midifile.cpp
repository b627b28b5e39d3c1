#include "ZT_midifile.h"

// Placeholder until the reader lands: every load fails.

struct MIDIFile
{
};

MIDIFile* ZT_Init() { return new MIDIFile; }

std::uint32_t ZT_Free(MIDIFile* file)
{
    delete file;
    return 0;
}

void ZT_Delete(void* array) { ::operator delete[](array); }

std::uint32_t ZT_CWInsLoad(MIDIFile*, const char*) { return 1; }

std::uint32_t ZT_CWInsGetDefs(MIDIFile*, ZT_cwdef** defs, int* count)
{
    if (defs)
        *defs = nullptr;
    if (count)
        *count = 0;
    return 1;
}

std::uint32_t ZT_CWInsSetDef(MIDIFile*, int) { return 1; }

std::uint32_t ZT_CWInsGetBankVoiceList(MIDIFile*, char*, ZT_cwbankvoice**, long*) { return 1; }
