// Arbitrary bytes through the reader of the format they are detected as, and what it read through the writer
// of every format of the table: one output for each instrument that the writer's fileOf names, in as many
// files as its parts says. Every file written is detected as the writer's own format and reads back with
// that format's reader, but for a file whose instruments have no voice: a Cubase script without entry lines
// and a REAPER bank file without banks are refused by their readers, as there is nothing in them to read.
// Two copies of what it read, merged into one set, keep every voice of each.

#include "FuzzCheck.h"
#include "base/OutputSink.h"
#include "formats/FormatTable.h"
#include "formats/Formats.h"
#include "formats/ins/InsWriter.h"
#include "formats/reaper/ReabankWriter.h"
#include "model/MergedSets.h"

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace quorvix;
using quorvix::fuzz::check;

/// The instruments of the set by the instrument whose file, in the row's format, holds them.
std::vector<std::vector<std::size_t>> filesOf(const FormatRow& row, const InstrumentSet& set)
{
    std::vector<std::vector<std::size_t>> files(set.instruments.size());
    for (std::size_t i = 0; i < set.instruments.size(); ++i) {
        const std::size_t file = row.writer.fileOf(set, i);
        check(file < set.instruments.size() && row.writer.fileOf(set, file) == file);
        files[file].push_back(i);
    }
    return files;
}

/// Writes every file of the set in the row's format and reads each back.
void writeEveryFile(const FormatRow& row, const InstrumentSet& set, const WriteSettings& settings)
{
    const std::vector<std::vector<std::size_t>> files = filesOf(row, set);
    for (std::size_t file = 0; file < files.size(); ++file) {
        if (files[file].empty())
            continue;
        // A file of instruments without voices holds nothing a reader could take (a program above 127, which
        // a reader keeps to name it, is no voice of a file).
        std::size_t voices = 0;
        for (const std::size_t held : files[file])
            set.forEachVoice(set.instruments[held],
                             [&](const Voice& voice) { voices += voice.program <= 127; });
        const std::size_t parts = row.writer.parts(set, file);
        check(parts >= 1);
        WriteSettings own = settings;
        for (own.part = 0; own.part < parts; ++own.part) {
            StringSink out;
            Diagnostics warnings;
            row.writer.write(set, file, own, out, warnings);
            if (voices == 0)
                continue;
            check(detectFormat(out.text) == row.format);
            const ReadResult back = row.read(std::move(out.text), "Fuzz");
            check(back.ok());
        }
    }
}

/// What the commands write besides the rows' files: to-cakewalk's .ins of every instrument at once (it reads
/// back), and the note-name files to-reabank --notes writes beside a bank file.
void writeCommandsFiles(const InstrumentSet& set)
{
    std::vector<std::size_t> all(set.instruments.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    StringSink ins;
    Diagnostics warnings;
    writeIns(set, all, {}, ins, warnings);
    if (!all.empty()) {
        check(detectFormat(ins.text) == FileFormat::Ins);
        check(formatRow(FileFormat::Ins)->read(std::move(ins.text), "Fuzz").ok());
    }
    for (const Instrument& instrument : set.instruments) {
        for (const NoteListUse& use : noteListsOf(set, instrument)) {
            StringSink notes;
            writeReaperNoteNames(set, instrument, use.noteList, {}, notes);
        }
    }
}

/// Every voice of an instrument, its name as UTF-8.
std::vector<std::string> voicesOf(const InstrumentSet& set, const Instrument& instrument)
{
    std::vector<std::string> voices;
    set.forEachVoice(instrument, [&](const Voice& voice) {
        voices.push_back(std::to_string(voice.bank) + ":" + std::to_string(voice.program) + "=" +
                         toUtf8(voice.name, set.encoding));
    });
    return voices;
}

/// The set merged with itself after a Windows-1252 set without instruments: a UTF-8 set is then copied
/// whole into a new one, a Windows-1252 set appended to the first.
void mergeWithItself(const InstrumentSet& set)
{
    std::vector<InstrumentSet> sets;
    sets.emplace_back(std::string(), TextEncoding::Windows1252);
    sets.push_back(set);
    sets.push_back(set);
    std::vector<std::size_t> first;
    const InstrumentSet merged = mergedSets(std::move(sets), &first);
    const std::size_t count = set.instruments.size();
    check(merged.instruments.size() == 2 * count && first.size() == 3 && first[2] == count);
    for (std::size_t i = 0; i < 2 * count; ++i)
        check(voicesOf(merged, merged.instruments[i]) == voicesOf(set, set.instruments[i % count]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const FormatRow* source = formatRow(detectFormat(bytes));
    if (!source)
        return 0;
    const ReadResult read = source->read(std::move(bytes), "Fuzz");
    if (!read) {
        check(!read.error->message.empty());
        return 0;
    }
    WriteSettings settings;
    settings.sourceName = "Fuzz";
    settings.sourceIsUtf8 = source->encoding == FormatEncoding::Utf8;
    for (const FormatRow& target : formatTable())
        if (target.writer.write)
            writeEveryFile(target, read.set, settings);
    writeCommandsFiles(read.set);
    mergeWithItself(read.set);
    return 0;
}
