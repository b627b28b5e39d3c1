#include "formats/FormatTable.h"
#include "formats/reaper/ReabankCheck.h"
#include "formats/reaper/ReabankReader.h"
#include "formats/reaper/ReabankWriter.h"

namespace quorvix {

namespace {

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    writeReabank(set, set.instruments[instrument], ReaperOptions{settings.sourceName, settings.stamp}, out,
                 warnings);
}

} // namespace

FormatRow reabankFormat()
{
    FormatRow row;
    row.format = FileFormat::Reabank;
    row.name = "REAPER bank file";
    row.plural = "REAPER bank files";
    row.listed = "a REAPER bank file";
    row.helpName = "a REAPER bank file";
    row.fileType = "REAPER Bank Files";
    row.extensions = {".reabank"};
    row.encoding = FormatEncoding::Utf8;
    row.recognise = looksLikeReabank;
    row.read = readReabank;
    row.program = "reaper";
    row.programName = "REAPER";
    row.check = checkForReaper;
    FormatWriter& writer = row.writer;
    writer.command = "to-reabank";
    writer.summary = "Convert to REAPER bank files (.reabank) and note-name files";
    writer.outputHelp = "Write the bank file here; - writes it to standard output. Default: the definition's "
                        "letters, digits, spaces and underscores, then .reabank, in the current folder. With "
                        "--all, the folder for the files";
    writer.footer = "REAPER sends CC0 and CC32 for every bank; a device that expects only one of them, or a\n"
                    "program change, is named in a comment of the file.\n"
                    "SOURCE_DATE_EPOCH, when set, gives the time stamp in the files' comments.\n"
                    "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert to-reabank Synth.ins --definition \"My Synth\" -o MySynth.reabank\n"
                    "  quorvix-convert to-reabank Synth.ins --all -o banks --notes notes";
    writer.write = write;
    return row;
}

} // namespace quorvix
