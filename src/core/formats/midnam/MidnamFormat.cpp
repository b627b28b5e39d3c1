#include "formats/FormatTable.h"
#include "formats/midnam/MidnamCheck.h"
#include "formats/midnam/MidnamReader.h"
#include "formats/midnam/MidnamWriter.h"

namespace quorvix {

namespace {

ReadResult read(std::string bytes, std::string_view)
{
    return readMidnam(std::move(bytes));
}

/// The name sets of one device are one document, named after the device's model.
std::string fileStem(const InstrumentSet& set, std::size_t index)
{
    const Instrument& instrument = set.instruments[index];
    const auto device = static_cast<std::size_t>(instrument.device);
    if (midnamDocumentOf(set, index).size() > 1 && !set.devices[device].model.empty())
        return set.utf8(set.devices[device].model);
    return set.utf8(instrument.name);
}

void write(const InstrumentSet& set, std::size_t instrument, const WriteSettings& settings, OutputSink& out,
           Diagnostics& warnings)
{
    std::string manufacturer = settings.values.empty() ? std::string() : settings.values.front();
    const MidnamOptions options{std::move(manufacturer), settings.sourceName, settings.stamp};
    writeMidnam(set, set.instruments[instrument], options, out, warnings);
}

} // namespace

FormatRow midnamFormat()
{
    FormatRow row;
    row.format = FileFormat::Midnam;
    row.name = "MIDNAM document";
    row.plural = "MIDNAM documents";
    row.listed = "a MIDNAM document";
    row.helpName = "a MIDNAM document";
    row.fileType = "MIDNAM Files";
    row.extensions = {".midnam"};
    row.encoding = FormatEncoding::Utf8;
    row.wideText = true;
    row.carries = {true, true, true, true, true};
    row.recognise = looksLikeMidnam;
    row.looksPastHead = true; // a prolog may be of any length
    row.needsMore = endsInXmlProlog;
    row.read = read;
    row.program = "ardour";
    row.programName = "Ardour";
    row.check = checkForArdour;
    FormatWriter& writer = row.writer;
    writer.command = "to-midnam";
    writer.summary =
        "Convert to MIDNAM documents (.midnam) for Ardour, Mixbus, Pro Tools and Digital Performer";
    writer.outputHelp = "Write the document here; - writes it to standard output. Default: the definition's "
                        "letters, digits, spaces and underscores, then .midnam, in the current folder. With "
                        "--all, the folder for the documents";
    writer.options = {
        {"--manufacturer",
         "The device's manufacturer in the document. Default: the one the input names, else \"" +
             std::string(kDefaultMidnamManufacturer) + "\"",
         {}}};
    writer.footer =
        "Patch names per bank with their bank-select messages, drum-kit note names and controller, RPN\n"
        "and NRPN names are carried; the document is valid against MIDINameDocument10.dtd. The name\n"
        "sets of a device read from a MIDNAM document are written as that device, in one document named\n"
        "after its model, with its models, channel assignments and patch numbers.\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp in the document's comment.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-midnam Synth.ins --definition \"My Synth\" --manufacturer Roland\n"
        "  quorvix-convert to-midnam Synth.ins --all -o ~/.config/ardour8/patchfiles";
    writer.fileStem = fileStem;
    writer.fileOf = [](const InstrumentSet& set, std::size_t index) {
        return midnamDocumentOf(set, index).front();
    };
    writer.write = write;
    return row;
}

} // namespace quorvix
