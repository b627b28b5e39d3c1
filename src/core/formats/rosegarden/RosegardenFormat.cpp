#include "formats/FormatTable.h"
#include "formats/rosegarden/RosegardenCheck.h"
#include "formats/rosegarden/RosegardenReader.h"
#include "formats/rosegarden/RosegardenWriter.h"

namespace quorvix {

namespace {

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    writeRosegarden(set, set.instruments[instrument], RosegardenOptions{settings.sourceName, settings.stamp},
                    out, warnings);
}

} // namespace

FormatRow rosegardenFormat()
{
    FormatRow row;
    row.format = FileFormat::Rosegarden;
    row.name = "Rosegarden device file";
    row.plural = "Rosegarden device files";
    row.listed = "a Rosegarden device file (.rgd)";
    row.helpName = "a Rosegarden device file";
    row.fileType = "Rosegarden Device Files";
    row.extensions = {".rgd"};
    row.encoding = FormatEncoding::Utf8;
    row.carries = {true, true, false, false, true};
    row.recognise = looksLikeRosegarden;
    row.readsCompressed = true; // unpacked as it is parsed: the unpacked text is never held whole
    row.read = readRosegarden;
    row.program = "rosegarden";
    row.programName = "Rosegarden";
    row.check = checkForRosegarden;
    FormatWriter& writer = row.writer;
    writer.command = "to-rosegarden";
    writer.summary = "Convert to Rosegarden device files (.rgd)";
    writer.outputHelp =
        "Write the device file here; - writes it to standard output. Default: the definition's "
        "letters, digits, spaces and underscores, then .rgd, in the current folder. With "
        "--all, the folder for the files";
    writer.footer =
        "Banks with their MSB and LSB (or a program change 100 + n, bankselecttype 1), programs,\n"
        "drum-kit note names as key mappings and controller names are carried; the file is gzip-\n"
        "compressed, as Rosegarden writes it. RPN and NRPN names, and bank selects Rosegarden sends\n"
        "differently, are named in warnings. In Rosegarden: Studio > Manage MIDI Devices, pick a\n"
        "device, Import..., choose the file.\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp in the file's comment.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-rosegarden Synth.ins --definition \"My Synth\"\n"
        "  quorvix-convert to-rosegarden Synth.ins --all -o ~/rosegarden-devices";
    writer.write = write;
    return row;
}

} // namespace quorvix
