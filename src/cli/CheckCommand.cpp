// quorvix-convert check: what the program that reads a format refuses, ignores or shows otherwise in a file,
// or in what Quorvix would write for it from a file of another format.

#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "base/Text.h"
#include "formats/FormatCheck.h"

#include <cstdio>

namespace quorvix::cli {

namespace {

struct CheckOptions
{
    std::string file;
    std::string program;
    CLI::Option* forOption = nullptr;
};

/// "cakewalk, cubase, ... or hapax": every program check knows, in the table's order.
std::string programList()
{
    return listedFormats(&FormatRow::program);
}

/// The row of the program --for names, or without --for the one of the file's own format.
const FormatRow* targetOf(const CheckOptions& options, const Input& input)
{
    if (options.forOption->count() > 0)
        return formatOfProgram(options.program);
    const FormatRow* own = formatRow(input.format);
    if (own != nullptr && own->program.empty())
        usageError(shownPath(input.path) + " is " + std::string(own->listed) +
                   ", which no one program reads: name the program with --for (" + programList() + ")");
    return own;
}

void printProblems(const std::string& path, Diagnostics& problems, const FormatRow& target)
{
    problems.sortByLine();
    problems.finish();
    std::string out;
    for (Diagnostic problem : problems.list()) {
        problem.at.column = 0; // lines only: the form every program's messages share
        out += formatDiagnostic(shownPath(path), problem, "problem") + '\n';
    }
    printOutput(out);
    if (!problems.empty())
        printNote(std::to_string(problems.list().size()) +
                  (problems.list().size() == 1 ? " problem" : " problems") + " for " +
                  std::string(target.programName));
}

void runCheck(const CheckOptions& options)
{
    if (options.forOption->count() > 0 && formatOfProgram(options.program) == nullptr)
        usageError("--for " + inQuotes(options.program) + " names no program check knows; it takes " +
                   programList());
    Input input = readInput(options.file, messages::kOpenInsFailed);
    const FormatRow* target = targetOf(options, input);
    Diagnostics problems;
    if (target != nullptr && target->format == input.format) {
        target->check(input.bytes, problems);
    } else {
        // A file of no known format ends here with its reason.
        const ReadResult read = readModel(input);
        const FormatRow* source = formatRow(input.format);
        WriteSettings settings;
        settings.sourceName = textFromPath(pathFromText(options.file).filename());
        settings.stamp = TimeStamp{"01/01/00", "00:00:00"}; // what is written is checked, never kept
        settings.sourceIsUtf8 = source != nullptr && source->encoding == FormatEncoding::Utf8;
        checkWritten(*target, read.set, settings, problems);
    }
    printProblems(options.file, problems, *target);
    if (!problems.empty())
        throw CommandExit{kExitFailure};
}

} // namespace

void setupCheckCommand(CLI::App& app)
{
    auto options = std::make_shared<CheckOptions>();
    auto* command = app.add_subcommand(
        "check", "Print what the program that reads a format refuses, ignores or shows otherwise in a file, "
                 "one \"FILE:LINE: problem: MESSAGE\" line each");
    command->add_option("FILE", options->file, inputHelp())->required();
    options->forOption =
        command
            ->add_option("--for", options->program,
                         "The program to check for: " + programList() +
                             ". Default: the one that reads the file's format. A file of another format is "
                             "checked as what Quorvix writes for that program")
            ->type_name("PROGRAM");
    command->footer(
        "ardour reads MIDNAM documents, cakewalk .ins files, cubase patchname scripts, reaper bank files,\n"
        "rosegarden device files, muse instrument definitions and hapax Hapax definitions. Problems go to\n"
        "standard output, sorted by line; of a file of another format, the messages start \"written for\n"
        "PROGRAM:\" and name what the conversion cannot carry.\n"
        "Exit status: 0 nothing found, 1 problems found or a file error, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  quorvix-convert check Synth.midnam\n"
        "  quorvix-convert check Synth.ins --for ardour");
    command->callback([options] { runCheck(*options); });
}

} // namespace quorvix::cli
