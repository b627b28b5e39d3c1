#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "model/VoiceRecord.h"

#include <filesystem>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToCubaseOptions
{
    std::string file;
    Selection selection;
    OutputOptions output;
};

/// The instrument's name as the window holds it: cut to the 79 bytes of the library's definition record.
std::string windowName(const InstrumentSet& set, const Instrument& instrument)
{
    ZT_cwdef record{};
    copyNameField(record.name, sizeof record.name, set.text(instrument.name));
    return std::string(record.name);
}

/// The script of one instrument in `lines`; warns about every voice that fits no group.
void convertInstrument(const Input& input, const InstrumentSet& set, const Instrument& instrument,
                       const TimeStamp& stamp, TextLines& lines)
{
    // Cubase reads scripts in the Windows code page: names of UTF-8 formats are converted, while .ins files
    // and scripts keep their bytes.
    const bool convert = input.format == FileFormat::Midnam || input.format == FileFormat::Reabank;
    std::vector<ZT_cwbankvoice> voices = voiceRecords(set, instrument, convert);
    std::string name = windowName(set, instrument);
    if (convert && set.encoding == TextEncoding::Utf8)
        name = utf8ToWindows1252(name);
    std::vector<std::uint8_t> taken(voices.size(), 0);
    std::int32_t cursor = 0;
    const auto leftOut = ConvertToCubaseScript(voices.data(), static_cast<std::int32_t>(voices.size()), taken.data(),
                                               cursor, name, stamp, lines);
    for (const std::int32_t i : leftOut) {
        const ZT_cwbankvoice& voice = voices[static_cast<std::size_t>(i)];
        printWarning(input.path, inQuotes(VoiceName(voice)) + " Bank " + std::to_string(voice.bank) +
                                     " fits no group and is left out");
    }
}

std::string scriptStem(std::string_view name)
{
    const std::string file = DefaultScriptFileName(name);
    return file.substr(0, file.size() - 4);
}

void runToCubase(const ToCubaseOptions& options)
{
    if (options.selection.all && options.output.output == "-")
        usageError("--all writes one file per definition: -o must name a folder, not standard output");
    Input input = readInput(options.file, messages::kOpenInsFailed);
    const ReadResult read = readModel(input);
    const InstrumentSet& set = read.set;
    const std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, options.file);
    const TimeStamp stamp = commandTimeStamp();

    if (!options.selection.all) {
        const Instrument& instrument = set.instruments[chosen.front()];
        const OutputTarget target =
            resolveOutput(options.output, DefaultScriptFileName(windowName(set, instrument)));
        if (!target.toStdout && !mayReplace(target.path, options.output.force))
            throw CommandExit{kExitFailure};
        TextLines lines;
        convertInstrument(input, set, instrument, stamp, lines);
        if (!writeOutput(target, [&](OutputSink& out) { writeLines(out, lines); }))
            throw CommandExit{kExitFailure};
        return;
    }

    namespace fs = std::filesystem;
    const OutputTarget folder = resolveOutput(options.output, {});
    std::error_code ec;
    if (!folder.path.empty() && !fs::is_directory(fs::path(folder.path), ec))
        fail(kExitFailure, folder.path, "is not a folder");

    std::vector<std::string> stems;
    for (const std::size_t index : chosen)
        stems.push_back(scriptStem(windowName(set, set.instruments[index])));
    std::vector<std::string> paths;
    bool mayWriteAll = true;
    for (const std::string& file : uniqueFileNames(stems, ".txt")) {
        paths.push_back(folder.path.empty() ? file : (fs::path(folder.path) / file).string());
        mayWriteAll = mayReplace(paths.back(), options.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};

    bool ok = true;
    TextLines lines;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        convertInstrument(input, set, set.instruments[chosen[i]], stamp, lines);
        ok = writeOutput({false, paths[i]}, [&](OutputSink& out) { writeLines(out, lines); }) && ok;
    }
    if (!ok)
        throw CommandExit{kExitFailure};
}

} // namespace

void setupToCubaseCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("to-cubase", "Convert instrument definitions to Cubase patchname scripts");
    auto options = std::make_shared<ToCubaseOptions>();
    command->add_option("FILE", options->file, "An .ins file, a Cubase script, a MIDNAM document or a REAPER bank file")
        ->required();
    addSelectionOptions(*command, options->selection, true);
    addOutputOptions(*command, options->output,
                     "Write the script here; - writes it to standard output. Default: the name the window "
                     "proposes (the definition's letters, digits, spaces and underscores, then .txt) in the "
                     "current folder. With --all, the folder for the scripts");
    command->footer("Without --index, --definition or --all the file must hold a single definition.\n"
                    "Voices that fit no group of the script are left out, with a warning each.\n"
                    "SOURCE_DATE_EPOCH, when set, gives the time stamp of the script.\n"
                    "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert to-cubase Synth.ins --definition \"My Synth\" -o MySynth.txt\n"
                    "  quorvix-convert to-cubase Synth.ins --all -o scripts");
    command->callback([options] { runToCubase(*options); });
}

} // namespace quorvix::cli
