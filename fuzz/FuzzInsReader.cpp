// Arbitrary bytes through the .ins reader: parse, list the definitions, compute every definition's voices,
// and the same through the ZT_ records' name fields.

#include "FuzzCheck.h"
#include "formats/ins/InsReader.h"
#include "legacy/ZT_midifile.h"

#include <cstddef>
#include <cstdint>
#include <string>

using quorvix::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quorvix::InsFile file;
    if (!file.parse(std::string(reinterpret_cast<const char*>(data), size)))
        return 0;
    for (const auto& warning : file.warnings()) {
        check(warning.line != 0 && !warning.message.empty());
    }
    for (std::size_t i = 0; i < file.definitionCount(); ++i) {
        ZT_cwdef def;
        quorvix::copyNameField(def.name, sizeof def.name, file.definitionName(i));
        const std::size_t count = file.set().voiceCount(file.set().instruments[i]);
        const auto voices = file.voices(i);
        check(voices.size() == count);
        for (const auto& voice : voices) {
            check(voice.bank >= 0 && voice.bank <= 16383 && voice.program >= 0 && voice.program <= 127);
            ZT_cwbankvoice record;
            quorvix::copyNameField(record.name, sizeof record.name, voice.name);
        }
    }
    return 0;
}
