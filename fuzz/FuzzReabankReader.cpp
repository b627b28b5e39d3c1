// Arbitrary bytes through the REAPER bank reader, and what it read through both REAPER writers: the bank
// file written must read back with the same banks and programs, and the note-name file (made from the
// read names) must be one line per note.

#include "FuzzCheck.h"
#include "formats/reaper/ReabankReader.h"
#include "formats/reaper/ReabankWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using quorvix::fuzz::check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool looksLike = quorvix::looksLikeReabank(bytes);
    quorvix::ReadResult read = quorvix::readReabank(bytes, "Fuzz");
    if (!read) {
        check(!read.error->message.empty() && read.warnings.empty());
        check(!looksLike || bytes.size() > quorvix::kReabankSniffSize);
        return 0;
    }
    for (const auto& warning : read.warnings.list())
        check(!warning.message.empty());
    quorvix::InstrumentSet& set = read.set;
    check(set.instruments.size() == 1);
    const quorvix::Instrument& instrument = set.instruments.front();
    for (const auto& bank : instrument.banks) {
        check(bank.number >= 0 && bank.number <= 16383 && bank.patchList >= 0);
        int previous = -1;
        for (const auto& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            check(patch.program > previous && patch.program <= 127 && !patch.name.empty());
            previous = patch.program;
        }
    }

    const quorvix::ReaperOptions options{"fuzz input", {"01/02/03", "04:05:06"}};
    quorvix::StringSink written;
    quorvix::Diagnostics writeWarnings;
    quorvix::writeReabank(set, instrument, options, written, writeWarnings);
    check(quorvix::looksLikeReabank(written.text));
    const quorvix::ReadResult again = quorvix::readReabank(written.text, "Again");
    check(again.ok() && again.set.instruments.size() == 1);
    const quorvix::Instrument& reread = again.set.instruments.front();
    check(reread.banks.size() == instrument.banks.size());
    check(again.set.voiceCount(reread) == set.voiceCount(instrument));

    // Note names from the programs of the first bank, through the note-name writer.
    quorvix::NoteList notes{set.keep("Fuzz notes"), {}};
    if (!instrument.banks.empty()) {
        for (const auto& patch :
             set.patchLists[static_cast<std::size_t>(instrument.banks[0].patchList)].patches)
            notes.notes.push_back(quorvix::NameEntry{static_cast<std::uint16_t>(patch.program), patch.name});
    }
    set.noteLists.push_back(std::move(notes));
    set.instruments.front().noteList = 0;
    quorvix::StringSink noteFile;
    quorvix::writeReaperNoteNames(set, set.instruments.front(), 0, options, noteFile);
    check(!noteFile.text.empty() && noteFile.text.back() == '\n');
    std::size_t lineStart = 0;
    std::size_t noteLines = 0;
    while (lineStart < noteFile.text.size()) {
        const std::size_t end = noteFile.text.find('\n', lineStart);
        const std::string_view line(noteFile.text.data() + lineStart, end - lineStart);
        check(line.find('\r') == std::string_view::npos && !line.empty());
        noteLines += line.front() != '#';
        lineStart = end + 1;
    }
    check(noteLines <= 128);
    return 0;
}
