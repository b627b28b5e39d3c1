#include "CliSupport.h"
#include "Commands.h"
#include "Inputs.h"
#include "NameFiles.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "base/Text.h"
#include "base/UniqueNames.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/ins/InsWriter.h"

#include <filesystem>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToCakewalkOptions
{
    std::vector<std::string> inputs;
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

/// Definitions of several inputs that share a name are written under names of their own: a reader keeps one
/// definition of a name, the later replacing the earlier.
void keepNamesApart(Inputs& inputs, const std::vector<std::size_t>& chosen)
{
    InstrumentSet& set = inputs.read.set;
    UniqueNames unique;
    for (const std::size_t index : chosen) {
        const std::string name(set.text(set.instruments[index].name));
        const std::string made = unique.make(name);
        if (made == name)
            continue;
        set.instruments[index].name = set.keep(made);
        printWarning(inputs.inputOf(index).path,
                     "definition " + inQuotes(toUtf8(name, set.encoding)) + " is written as " +
                         inQuotes(set.utf8(set.instruments[index].name)) +
                         ": a definition of that name comes earlier, and Cakewalk keeps one definition "
                         "of a name");
    }
}

void runToCakewalk(const ToCakewalkOptions& options)
{
    const OutputTarget target =
        resolveOutput(options.output, DefaultDefinitionFileName(options.inputs.front()));
    if (!target.toStdout && !mayReplace(target.path, options.output.force))
        throw CommandExit{kExitFailure};
    const TimeStamp stamp = commandTimeStamp();
    Input first = readInput(options.inputs.front(), messages::kConvertFailed, messages::kNoWindowsScript);
    // One script is converted the way the window converts it. Names added from other files need the model:
    // a script is then read as the other commands read it.
    if (options.inputs.size() == 1 && ((first.format == FileFormat::CubaseScript && !options.names.given()) ||
                                       first.format == FileFormat::Unknown)) {
        convertScript(options, first, target, stamp);
        return;
    }

    Inputs inputs =
        readInputs(options.inputs, messages::kConvertFailed, messages::kNoWindowsScript, std::move(first));
    InstrumentSet& set = inputs.read.set;
    const std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, inputs.holder(), true);
    if (options.nameOption->count() > 0) {
        if (chosen.size() != 1)
            usageError("--name names one definition: choose it with --index N or --definition NAME");
        if (options.name.empty())
            usageError("the instrument name must not be empty");
        set.instruments[chosen.front()].name = set.keep(options.name);
    }
    if (inputs.files.size() > 1)
        keepNamesApart(inputs, chosen);
    addNamesFromFiles(options.names, set, chosen);
    Diagnostics warnings;
    const InsWriteOptions writeOptions{inputs.sourceName(), stamp};
    const bool written =
        writeOutput(target, [&](OutputSink& out) { writeIns(set, chosen, writeOptions, out, warnings); });
    // Of several inputs, what the written file lacks is named after it.
    printDiagnostics(inputs.files.size() == 1 || target.toStdout ? inputs.files.front().path : target.path,
                     warnings);
    if (!written)
        throw CommandExit{kExitFailure};
}

} // namespace

void setupToCakewalkCommand(CLI::App& app, const FormatRow& row)
{
    auto* command = app.add_subcommand(row.writer.command, row.writer.summary);
    auto options = std::make_shared<ToCakewalkOptions>();
    command->add_option("INPUT", options->inputs, inputsHelp(&row))->required();
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
