#include "formats/FormatTable.h"
#include "formats/hapax/HapaxCheck.h"
#include "formats/hapax/HapaxReader.h"
#include "formats/hapax/HapaxWriter.h"

namespace quorvix {

namespace {

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    HapaxOptions options{settings.sourceName, settings.stamp, hapax::kRows, settings.part};
    if (!settings.values.empty() && settings.values.front() == "16")
        options.drumRows = hapax::kMostRows;
    writeHapax(set, set.instruments[instrument], options, out, warnings);
}

} // namespace

FormatRow hapaxFormat()
{
    FormatRow row;
    row.format = FileFormat::Hapax;
    row.name = "Hapax instrument definition";
    row.plural = "Hapax instrument definitions";
    row.listed = "a Squarp Hapax instrument definition";
    row.helpName = "a Hapax instrument definition";
    row.fileType = "Hapax Instrument Definitions";
    row.extensions = {".txt"};
    row.encoding = FormatEncoding::Utf8;
    row.carries = {false, true, false, false, true, false};
    row.recognise = looksLikeHapax;
    row.read = readHapax;
    row.program = "hapax";
    row.programName = "Hapax";
    row.check = checkForHapax;
    FormatWriter& writer = row.writer;
    writer.command = "to-hapax";
    writer.summary = "Convert to Squarp Hapax instrument definitions (.txt)";
    writer.outputHelp =
        "Write the definition here; - writes it to standard output. A folder (one that is there, or a path "
        "ending in /, made when missing) gets the default name: the definition's letters, digits, spaces "
        "and underscores, then .txt. A definition of more than 128 voices is several files, numbered after "
        "that name, and needs a folder. With --all, the folder for the files";
    writer.options = {{"--drum-rows",
                       "The drum lanes of a drum-kit definition: 8, or 16 for firmware 3.10 and later. "
                       "Default: 8",
                       "8|16",
                       {"8", "16"}}};
    writer.footer =
        "Patch names per bank with the MSB and LSB they send ([PC], at most 128 lines a file: a larger\n"
        "definition is written as several files of whole banks), the drum-note names of a definition of\n"
        "drum kits ([DRUMLANES]), controller and NRPN names. Names keep only the characters the Hapax\n"
        "takes. Copy the files into the HAPAX folder of the SD card.\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp in the files' comment.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-hapax Synth.ins --definition \"My Synth\" -o HAPAX/\n"
        "  quorvix-convert to-hapax Drums.ins --drum-rows 16 -o HAPAX/\n"
        "  quorvix-convert to-hapax Synth.ins --all -o HAPAX";
    writer.parts = [](const InstrumentSet& set, std::size_t index) {
        return hapaxParts(set, set.instruments[index]);
    };
    writer.write = write;
    return row;
}

} // namespace quorvix
