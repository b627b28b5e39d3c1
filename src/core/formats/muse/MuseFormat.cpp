#include "formats/FormatTable.h"
#include "formats/muse/MuseCheck.h"
#include "formats/muse/MuseReader.h"
#include "formats/muse/MuseWriter.h"

namespace quorvix {

namespace {

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings&, OutputSink& out,
           Diagnostics& warnings)
{
    writeMuse(set, set.instruments[instrument], out, warnings);
}

} // namespace

FormatRow museFormat()
{
    FormatRow row;
    row.format = FileFormat::Muse;
    row.name = "MusE instrument definition";
    row.plural = "MusE instrument definitions";
    row.listed = "a MusE instrument definition (.idf)";
    row.helpName = "a MusE instrument definition";
    row.fileType = "MusE Instrument Files";
    row.extensions = {".idf"};
    row.encoding = FormatEncoding::Utf8;
    row.carries = {true, true, true, false, true};
    row.recognise = looksLikeMuse;
    row.read = readMuse;
    row.program = "muse";
    row.programName = "MusE";
    row.check = checkForMuse;
    FormatWriter& writer = row.writer;
    writer.command = "to-muse";
    writer.summary = "Convert to MusE instrument definitions (.idf)";
    writer.outputHelp = "Write the instrument definition here; - writes it to standard output. Default: the "
                        "definition's letters, digits, spaces and underscores, then .idf, in the current "
                        "folder. With --all, the folder for the files";
    writer.footer =
        "Patches with the bank bytes their bank sends (hbank, lbank), one PatchGroup per bank, drum\n"
        "patches with their drum maps, and controller, 14-bit, RPN and NRPN names are carried. MusE\n"
        "sends CC0 and CC32 only: banks selected by a program change are written with the bytes of\n"
        "their bank number, with a warning. Copy the file into MusE's instruments folder "
        "(~/.config/MusE/instruments on\n"
        "Linux); it wins over a shipped instrument of the same name.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-muse Synth.ins --definition \"My Synth\"\n"
        "  quorvix-convert to-muse Synth.ins --all -o ~/.config/MusE/instruments";
    writer.write = write;
    return row;
}

} // namespace quorvix
