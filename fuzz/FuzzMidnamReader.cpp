// Arbitrary bytes through the MIDNAM reader; every instrument it finds through the writer, and what was
// written back through the reader, which must read it and find the same number of patches.

#include "FuzzCheck.h"
#include "base/OutputSink.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/midnam/MidnamWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using quorvix::fuzz::check;

void checkLists(const quorvix::InstrumentSet& set, const quorvix::Instrument& instrument)
{
    for (const quorvix::Bank& bank : instrument.banks) {
        if (bank.patchList < 0)
            continue;
        check(static_cast<std::size_t>(bank.patchList) < set.patchLists.size());
        int previous = -1;
        for (const quorvix::Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            check(patch.program <= 127 && patch.program > previous);
            previous = patch.program;
            check(patch.noteList < static_cast<std::int32_t>(set.noteLists.size()));
        }
    }
    check(instrument.noteList < static_cast<std::int32_t>(set.noteLists.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    quorvix::looksLikeMidnam(bytes);
    const quorvix::ReadResult result = quorvix::readMidnam(bytes);
    if (!result) {
        check(!result.error->message.empty());
        return 0;
    }
    for (const quorvix::Instrument& instrument : result.set.instruments) {
        checkLists(result.set, instrument);
        quorvix::StringSink written;
        quorvix::Diagnostics warnings;
        quorvix::writeMidnam(result.set, instrument, {}, written, warnings);
        const quorvix::ReadResult back = quorvix::readMidnam(written.text);
        check(back.ok() && back.set.instruments.size() == 1);
        check(back.set.voiceCount(back.set.instruments[0]) == result.set.voiceCount(instrument));
    }
    return 0;
}
