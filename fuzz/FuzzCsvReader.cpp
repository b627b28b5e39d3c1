// Arbitrary bytes through the CSV reader: it either fails with a message and no warnings, or gives
// instruments whose lists are all within the set, programs 0..127 ascending; what it read is written as each
// of the three tables, and the table of voices reads back with every voice.

#include "FuzzCheck.h"
#include "formats/Formats.h"
#include "formats/csv/CsvReader.h"
#include "formats/csv/CsvWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvix;
    using quorvix::fuzz::check;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ReadResult read = readCsv(bytes, "Fuzz");
    if (!read) {
        check(!read.error->message.empty() && read.warnings.empty());
        return 0;
    }
    const InstrumentSet& set = read.set;
    check(!set.instruments.empty());
    for (const Instrument& instrument : set.instruments) {
        check(instrument.device >= 0 && static_cast<std::size_t>(instrument.device) < set.devices.size());
        for (const Bank& bank : instrument.banks) {
            const PatchList* list = set.patchListOf(bank);
            check(list != nullptr && bank.number >= 0 && bank.number <= 16383);
            int previous = -1;
            for (const Patch& patch : list->patches) {
                check(patch.program > previous && patch.program <= 127);
                previous = patch.program;
            }
        }
        for (const std::int32_t list : {instrument.controllers, instrument.rpns, instrument.nrpns})
            check(list == kNoList || static_cast<std::size_t>(list) < set.controlLists.size());
        check(instrument.noteList == kNoList ||
              static_cast<std::size_t>(instrument.noteList) < set.noteLists.size());

        for (const CsvContent content : {CsvContent::Voices, CsvContent::Notes, CsvContent::Controllers}) {
            StringSink out;
            Diagnostics warnings;
            writeCsv(set, instrument, content, out, warnings);
            check(detectFormat(out.text) == FileFormat::Csv);
            const ReadResult back = readCsv(out.text, "Again");
            if (content != CsvContent::Voices || set.voiceCount(instrument) == 0)
                continue;
            check(back.ok() && back.warnings.empty());
            std::size_t voices = 0;
            for (const Instrument& again : back.set.instruments)
                voices += back.set.voiceCount(again);
            check(voices == set.voiceCount(instrument));
        }
    }
    return 0;
}
