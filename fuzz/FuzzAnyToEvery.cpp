// Arbitrary bytes through the reader of the format they are detected as, and every instrument read through
// every writer: the .ins file (all instruments at once, then each alone), the Cubase script, the MIDNAM
// document, the REAPER bank file and the REAPER note-name files. The .ins written must read back.

#include "FuzzCheck.h"
#include "base/OutputSink.h"
#include "formats/Formats.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "formats/ins/InsReader.h"
#include "formats/ins/InsWriter.h"
#include "formats/midnam/MidnamWriter.h"
#include "formats/reaper/ReabankWriter.h"

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace {

using quorvix::fuzz::check;

void writeIns(const quorvix::InstrumentSet& set, const std::vector<std::size_t>& chosen)
{
    quorvix::StringSink out;
    quorvix::Diagnostics warnings;
    quorvix::writeIns(set, chosen, {}, out, warnings);
    if (chosen.empty())
        return;
    const quorvix::ReadResult back = quorvix::readIns(out.text);
    check(back.ok());
}

void writeEach(const quorvix::InstrumentSet& set, const quorvix::Instrument& instrument)
{
    quorvix::Diagnostics warnings;
    {
        std::string storage;
        const std::vector<quorvix::ScriptVoice> voices = quorvix::ScriptVoices(set, instrument, true, storage);
        quorvix::StringSink out;
        for (const std::int32_t left : quorvix::WriteCubaseScript(voices, "Fuzz", {}, out))
            check(left >= 0 && static_cast<std::size_t>(left) < voices.size());
    }
    {
        quorvix::StringSink out;
        quorvix::writeMidnam(set, instrument, {}, out, warnings);
    }
    {
        quorvix::StringSink out;
        quorvix::writeReabank(set, instrument, {}, out, warnings);
    }
    for (const quorvix::NoteListUse& use : quorvix::noteListsOf(set, instrument)) {
        quorvix::StringSink out;
        quorvix::writeReaperNoteNames(set, instrument, use.noteList, {}, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const quorvix::FileFormat format = quorvix::detectFormat(bytes);
    const quorvix::ReadResult read = quorvix::readInstruments(std::move(bytes), format, "Fuzz");
    if (!read) {
        check(!read.error->message.empty());
        return 0;
    }
    const quorvix::InstrumentSet& set = read.set;
    std::vector<std::size_t> all(set.instruments.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    writeIns(set, all);
    for (std::size_t i = 0; i < set.instruments.size(); ++i) {
        writeIns(set, {i});
        writeEach(set, set.instruments[i]);
    }
    return 0;
}
