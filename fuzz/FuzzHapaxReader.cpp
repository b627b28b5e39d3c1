// Arbitrary bytes through the Hapax reader, and what it read through the Hapax writer: the reader fails with
// a message or gives one instrument whose lists are within the set; every file written is ASCII with LF line
// ends and a final one, holds at most 128 [PC] lines, reads back without a warning, and together the files
// hold every voice the writer can select.

#include "FuzzCheck.h"
#include "formats/hapax/HapaxReader.h"
#include "formats/hapax/HapaxWriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace quorvix;
using quorvix::fuzz::check;

/// The voices a Hapax file can hold: programs 0 to 127 of banks that a program change does not select.
std::size_t selectable(const InstrumentSet& set, const Instrument& instrument)
{
    std::size_t count = 0;
    for (const Bank& bank : instrument.banks)
        if (const PatchList* list = set.patchListOf(bank); list != nullptr && bank.select.program < 0)
            count += static_cast<std::size_t>(std::count_if(list->patches.begin(), list->patches.end(),
                                                            [](const Patch& p) { return p.program <= 127; }));
    return count;
}

void checkFile(const std::string& text)
{
    check(!text.empty() && text.back() == '\n' && text.rfind("VERSION 1\n", 0) == 0);
    check(std::none_of(text.begin(), text.end(), [](char c) { return c != '\n' && (c < ' ' || c > '~'); }));
    const std::size_t pc = text.find("\n[PC]\n");
    if (pc != std::string::npos) {
        const std::size_t end = text.find("\n[/PC]\n", pc);
        check(end != std::string::npos);
        check(std::count(text.begin() + static_cast<std::ptrdiff_t>(pc) + 1,
                         text.begin() + static_cast<std::ptrdiff_t>(end), '\n') <= 128);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ReadResult read = readHapax(bytes, "Fuzz");
    if (!read) {
        check(!read.error->message.empty() && read.warnings.empty());
        return 0;
    }
    const InstrumentSet& set = read.set;
    check(set.instruments.size() == 1);
    const Instrument& instrument = set.instruments.front();
    for (const Bank& bank : instrument.banks) {
        const PatchList* list = set.patchListOf(bank);
        check(list != nullptr);
        for (std::size_t i = 0; i < list->patches.size(); ++i)
            check(list->patches[i].program >= 0 &&
                  (i == 0 || list->patches[i - 1].program < list->patches[i].program));
    }
    for (const std::int32_t list : {instrument.controllers, instrument.nrpns})
        check(list == kNoList || static_cast<std::size_t>(list) < set.controlLists.size());
    check(instrument.noteList == kNoList ||
          static_cast<std::size_t>(instrument.noteList) < set.noteLists.size());

    std::size_t held = 0;
    HapaxOptions options{"fuzz input", {"01/02/03", "04:05:06"}, hapax::kRows, 0};
    for (; options.file < hapaxParts(set, instrument); ++options.file) {
        StringSink out;
        Diagnostics warnings;
        writeHapax(set, instrument, options, out, warnings);
        checkFile(out.text);
        check(looksLikeHapax(out.text));
        const ReadResult back = readHapax(out.text, "Again");
        check(back.ok() && back.warnings.empty());
        held += back.set.voiceCount(back.set.instruments.front());
    }
    check(held == selectable(set, instrument));
    return 0;
}
