// Arbitrary bytes (gzip-compressed or not) through the Rosegarden reader: it either fails with a message or
// gives instruments whose lists are all within the set.

#include "FuzzCheck.h"
#include "formats/rosegarden/RosegardenReader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using quorvix::fuzz::check;
    const quorvix::ReadResult read =
        quorvix::readRosegarden(std::string(reinterpret_cast<const char*>(data), size), "Fuzz");
    if (!read) {
        check(!read.error->message.empty());
        return 0;
    }
    const quorvix::InstrumentSet& set = read.set;
    for (const quorvix::Instrument& instrument : set.instruments)
        for (const quorvix::Bank& bank : instrument.banks) {
            const quorvix::PatchList* list = set.patchListOf(bank);
            check(list != nullptr);
            for (const quorvix::Patch& patch : list->patches) {
                check(patch.program >= 0 && patch.program <= 127);
                check(patch.noteList == quorvix::kNoList ||
                      static_cast<std::size_t>(patch.noteList) < set.noteLists.size());
            }
        }
    return 0;
}
