#include "Commands.h"
#include "WriterCommand.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "formats/midnam/MidnamWriter.h"

#include <filesystem>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToMidnamOptions
{
    WriterOptions writer;
    std::string manufacturer;
};

void runToMidnam(const ToMidnamOptions& options)
{
    checkWriterOptions(options.writer);
    Input input = readInput(options.writer.file, messages::kOpenInsFailed);
    ReadResult read = readModel(input);
    const MidnamOptions midnam{
        options.manufacturer, textFromPath(pathFromText(options.writer.file).filename()), commandTimeStamp()};

    InstrumentWriter writer;
    writer.extension = ".midnam";
    // The name sets of one device are one document, named after the device's model.
    writer.fileOf = [](const InstrumentSet& set, std::size_t index) {
        return midnamDocumentOf(set, index).front();
    };
    writer.fileStemName = [](const InstrumentSet& set, const Instrument& instrument) {
        const auto index = static_cast<std::size_t>(&instrument - set.instruments.data());
        const auto device = static_cast<std::size_t>(instrument.device);
        if (midnamDocumentOf(set, index).size() > 1 && !set.devices[device].model.empty())
            return set.utf8(set.devices[device].model);
        return set.utf8(instrument.name);
    };
    writer.write = [&](const InstrumentSet& set, const Instrument& instrument, OutputSink& out,
                       Diagnostics& warnings) { writeMidnam(set, instrument, midnam, out, warnings); };
    runWriterCommand(options.writer, writer, input, read);
}

} // namespace

void setupToMidnamCommand(CLI::App& app)
{
    auto* command = app.add_subcommand(
        "to-midnam",
        "Convert to MIDNAM documents (.midnam) for Ardour, Mixbus, Pro Tools and Digital Performer");
    auto options = std::make_shared<ToMidnamOptions>();
    addWriterOptions(
        *command, options->writer,
        "Write the document here; - writes it to standard output. Default: the definition's "
        "letters, digits, spaces and underscores, then .midnam, in the current folder. With --all, "
        "the folder for the documents");
    command->add_option(
        "--manufacturer", options->manufacturer,
        "The device's manufacturer in the document. Default: the one the input names, else \"" +
            std::string(kDefaultMidnamManufacturer) + "\"");
    command->footer(
        "Patch names per bank with their bank-select messages, drum-kit note names and controller, RPN\n"
        "and NRPN names are carried; the document is valid against MIDINameDocument10.dtd. The name\n"
        "sets of a device read from a MIDNAM document are written as that device, in one document named\n"
        "after its model, with its models, channel assignments and patch numbers.\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp in the document's comment.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-midnam Synth.ins --definition \"My Synth\" --manufacturer Roland\n"
        "  quorvix-convert to-midnam Synth.ins --all -o ~/.config/ardour8/patchfiles");
    command->callback([options] { runToMidnam(*options); });
}

} // namespace quorvix::cli
