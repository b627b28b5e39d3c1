#include "CliSupport.h"
#include "Commands.h"
#include "NameFiles.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/ins/InsWriter.h"

#include <filesystem>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToCakewalkOptions
{
    std::string input;
    std::string name;
    CLI::Option* nameOption = nullptr;
    Selection selection;
    OutputOptions output;
    NameFileOptions names;
};

/// A script converted the way the window converts it.
void convertScript(const ToCakewalkOptions& options, const Input& input, const OutputTarget& target,
                   const TimeStamp& stamp)
{
    if (options.selection.indexOption->count() > 0 || options.selection.definitionOption->count() > 0)
        usageError("a Cubase script describes one instrument: --index and --definition do not apply to it");
    std::string name = options.name;
    if (options.nameOption->count() == 0) {
        name = ScriptDeviceName(input.bytes);
        if (name.empty())
            name = input.stem;
    }
    if (name.empty())
        usageError("the instrument name must not be empty; give one with --name NAME");

    DefinitionConversion result;
    ScriptConversion conversion;
    if (!conversion.read(input.bytes, result)) {
        printDiagnostics(input.path, result.warnings);
        const bool noScript = result.status == DefinitionConversion::Status::LineTooLong ||
                              result.status == DefinitionConversion::Status::NoEntries;
        // Text without an entry line that is no script either is named as such, as the other commands name
        // it.
        if (result.status == DefinitionConversion::Status::NoEntries && input.format == FileFormat::Unknown)
            fail(kExitFailure, input.path, failureMessage(guessedFormat(input.path, input.format)),
                 unknownFormatReason(input.bytes));
        fail(kExitFailure, input.path, noScript ? messages::kNoWindowsScript : messages::kConvertFailed,
             result.detail);
    }
    // The text goes straight to its target; the warnings, made while it is written, follow it. When the
    // target cannot be opened they are made without it, so that they are printed all the same.
    bool written = false;
    const std::string error = writeOutputQuietly(target, [&](OutputSink& out) {
        conversion.write(name, stamp, out, result);
        written = true;
    });
    if (!written) {
        DiscardSink nowhere;
        conversion.write(name, stamp, nowhere, result);
    }
    printDiagnostics(input.path, result.warnings);
    if (result.entriesNotReadBack > 0)
        printWarning(input.path, std::to_string(result.entriesNotReadBack) +
                                     (result.entriesNotReadBack == 1 ? " entry" : " entries") +
                                     " of the script will not read back from the written definition");
    if (!error.empty()) {
        printError(error);
        throw CommandExit{kExitFailure};
    }
}

void runToCakewalk(const ToCakewalkOptions& options)
{
    Input input = readInput(options.input, messages::kConvertFailed, messages::kNoWindowsScript);
    const OutputTarget target = resolveOutput(options.output, DefaultDefinitionFileName(options.input));
    if (!target.toStdout && !mayReplace(target.path, options.output.force))
        throw CommandExit{kExitFailure};
    const TimeStamp stamp = commandTimeStamp();
    // Names added from other files need the model: a script is then read as the other commands read it.
    if ((input.format == FileFormat::CubaseScript && !options.names.given()) ||
        input.format == FileFormat::Unknown) {
        convertScript(options, input, target, stamp);
        return;
    }

    ReadResult read = readModel(input);
    InstrumentSet& set = read.set;
    const std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, options.input, true);
    if (options.nameOption->count() > 0) {
        if (chosen.size() != 1)
            usageError("--name names one definition: choose it with --index N or --definition NAME");
        if (options.name.empty())
            usageError("the instrument name must not be empty");
        set.instruments[chosen.front()].name = set.keep(options.name);
    }
    addNamesFromFiles(options.names, set, chosen);
    Diagnostics warnings;
    const InsWriteOptions writeOptions{textFromPath(pathFromText(options.input).filename()), stamp};
    const bool written =
        writeOutput(target, [&](OutputSink& out) { writeIns(set, chosen, writeOptions, out, warnings); });
    printDiagnostics(input.path, warnings);
    if (!written)
        throw CommandExit{kExitFailure};
}

} // namespace

void setupToCakewalkCommand(CLI::App& app, const FormatRow& row)
{
    auto* command = app.add_subcommand(row.writer.command, row.writer.summary);
    auto options = std::make_shared<ToCakewalkOptions>();
    command->add_option("INPUT", options->input, inputHelp(&row))->required();
    options->nameOption = command->add_option(
        "--name", options->name,
        "The instrument's name in the definition. Default: the script's [device name], else the file name "
        "without its extension; for other formats the name the file gives");
    addSelectionOptions(*command, options->selection, false);
    addOutputOptions(*command, options->output, row.writer.outputHelp);
    addNameFileOptions(*command, options->names);
    command->footer(row.writer.footer);
    command->callback([options] { runToCakewalk(*options); });
}

} // namespace quorvix::cli
