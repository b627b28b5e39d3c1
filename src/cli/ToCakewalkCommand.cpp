#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"

#include <filesystem>
#include <fstream>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToCakewalkOptions
{
    std::string script;
    std::string name;
    CLI::Option* nameOption = nullptr;
    OutputOptions output;
};

// The script's "[device name]" when it has one, else its file name without the extension.
std::string defaultInstrumentName(const std::string& script)
{
    std::ifstream in(std::filesystem::path(script), std::ios::in | std::ios::binary);
    if (in) {
        std::string name = ScriptDeviceName(in);
        if (!name.empty())
            return name;
    }
    return std::filesystem::path(script).stem().string();
}

// A failure as the window reports it: its messages in order, the first with the reason.
[[noreturn]] void failConversion(const DefinitionConversion& conversion)
{
    const std::string reason = conversion.detail.empty() ? std::string() : " (" + conversion.detail + ")";
    if (conversion.status == DefinitionConversion::Status::LineTooLong) {
        printError(messages::kNoWindowsScript + reason);
        fail(kExitFailure, messages::kConvertFailed);
    }
    fail(kExitFailure, messages::kConvertFailed + reason);
}

void runToCakewalk(const ToCakewalkOptions& options)
{
    const std::string name =
        options.nameOption->count() > 0 ? options.name : defaultInstrumentName(options.script);
    if (name.empty())
        fail(kExitUsage, "the instrument name must not be empty; give one with --name NAME");

    const OutputTarget target = resolveOutput(options.output, DefaultDefinitionFileName(options.script));
    if (!target.toStdout && !mayReplace(target.path, options.output.force))
        throw CommandExit{kExitFailure};
    const TimeStamp stamp = commandTimeStamp();

    const DefinitionConversion conversion = ConvertToCakewalkDefinition(options.script, name, stamp);
    if (conversion.status != DefinitionConversion::Status::Ok)
        failConversion(conversion);
    if (!writeOutput(target, conversion.lines))
        throw CommandExit{kExitFailure};
}

} // namespace

void setupToCakewalkCommand(CLI::App& app)
{
    auto* command =
        app.add_subcommand("to-cakewalk", "Convert a Cubase patchname script to an instrument definition");
    auto options = std::make_shared<ToCakewalkOptions>();
    command->add_option("SCRIPT", options->script, "The Cubase patchname script")->required();
    options->nameOption = command->add_option(
        "--name", options->name,
        "The instrument's name in the definition. Default: the script's [device name], else the script's "
        "file name without its extension");
    addOutputOptions(*command, options->output,
                     "Write the definition here; - writes it to standard output. Default: the script's path "
                     "with the extension .ins");
    command->footer(
        "Lines longer than 256 characters, or more than 1000 distinct banks, fail the conversion.\n"
        "SOURCE_DATE_EPOCH, when set, gives the time stamp of the definition.\n"
        "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert to-cakewalk MySynth.txt\n"
        "  quorvix-convert to-cakewalk MySynth.txt --name \"My Synth\" -o MySynth.ins");
    command->callback([options] { runToCakewalk(*options); });
}

} // namespace quorvix::cli
