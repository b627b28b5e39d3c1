// Arbitrary bytes through the MIDNAM reader; every device it finds through the writer, and what was
// written back through the reader, which must read it and find the same number of patches.

#include "FuzzCheck.h"
#include "base/OutputSink.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/midnam/MidnamWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
    const quorvix::InstrumentSet& set = result.set;
    for (std::size_t i = 0; i < set.instruments.size(); ++i)
        checkLists(set, set.instruments[i]);
    // One document per device, holding its name sets.
    for (std::size_t i = 0; i < set.instruments.size(); ++i) {
        const std::vector<std::size_t> group = quorvix::midnamDocumentOf(set, i);
        if (group.front() != i)
            continue;
        quorvix::StringSink written;
        quorvix::Diagnostics warnings;
        quorvix::writeMidnam(set, set.instruments[i], {}, written, warnings);
        const quorvix::ReadResult back = quorvix::readMidnam(written.text);
        check(back.ok() && back.set.instruments.size() == group.size());
        for (std::size_t g = 0; g < group.size(); ++g)
            check(back.set.voiceCount(back.set.instruments[g]) == set.voiceCount(set.instruments[group[g]]));
    }
    return 0;
}
