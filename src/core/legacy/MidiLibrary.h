#pragma once

#include "legacy/ZT_midifile.h"

namespace quorvix {

/// A definition of a loaded .ins file in the instrument model.
struct LoadedDefinition
{
    const InstrumentSet* set = nullptr;
    std::size_t instrument = 0; ///< index into set->instruments
};

/// The calls the main window makes into the instrument definition library. The default forwards to the
/// ZT_ functions; tests substitute failures the real reader cannot produce on demand.
class MidiLibrary
{
public:
    virtual ~MidiLibrary() = default;

    virtual MIDIFile* Init() { return ZT_Init(); }
    virtual std::uint32_t Free(MIDIFile* file) { return ZT_Free(file); }
    virtual void Delete(void* array) { ZT_Delete(array); }
    virtual std::uint32_t CWInsLoad(MIDIFile* file, const char* path) { return ZT_CWInsLoad(file, path); }
    virtual std::uint32_t CWInsLoadBytes(MIDIFile* file, std::string bytes)
    {
        return ZT_CWInsLoadBytes(file, std::move(bytes));
    }
    virtual std::uint32_t CWInsGetDefs(MIDIFile* file, ZT_cwdef** defs, int* count)
    {
        return ZT_CWInsGetDefs(file, defs, count);
    }
    virtual std::uint32_t CWInsSetDef(MIDIFile* file, int index) { return ZT_CWInsSetDef(file, index); }
    virtual std::uint32_t CWInsGetBankVoiceList(MIDIFile* file, char* text, ZT_cwbankvoice** voices,
                                                long* count)
    {
        return ZT_CWInsGetBankVoiceList(file, text, voices, count);
    }

    /// Why the last CWInsLoad of the handle failed (the reader's reason); empty when unknown.
    virtual std::string LoadError(MIDIFile* file)
    {
        const InsFile* ins = insFileOf(file);
        return ins != nullptr ? ins->error() : std::string();
    }

    /// The loaded file's model and the chosen definition's instrument in it (the definition the voice list
    /// comes from); `set` is null when no file is loaded or no definition chosen. Valid until the handle
    /// loads again or is released.
    virtual LoadedDefinition ChosenDefinition(MIDIFile* file)
    {
        std::size_t index = 0;
        if (!chosenDefinitionOf(file, index))
            return {};
        return {&insFileOf(file)->set(), index};
    }

    /// The library every window uses unless told otherwise.
    static MidiLibrary& standard();
};

} // namespace quorvix
