#include "WriterCommand.h"

#include "base/PathText.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <filesystem>

namespace quorvix::cli {

void addWriterOptions(CLI::App& command, WriterOptions& options, const std::string& outputHelp)
{
    command
        .add_option("FILE", options.file,
                    "An .ins file, a Cubase script, a MIDNAM document or a REAPER bank file")
        ->required();
    addSelectionOptions(command, options.selection, true);
    addOutputOptions(command, options.output, outputHelp);
}

std::string fileStemOf(std::string_view name)
{
    const std::string file = DefaultScriptFileName(name);
    return file.substr(0, file.size() - 4); // without ".txt"
}

void checkWriterOptions(const WriterOptions& options)
{
    if (options.selection.all && options.output.output == "-")
        usageError("--all writes one file per definition: -o must name a folder, not standard output");
}

std::vector<std::size_t> runWriterCommand(const WriterOptions& options, const InstrumentWriter& writer,
                                          Input& input, ReadResult& read)
{
    const InstrumentSet& set = read.set;
    const std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, options.file);
    const auto writeOne = [&](const Instrument& instrument, const OutputTarget& target) {
        Diagnostics warnings;
        const bool ok =
            writeOutput(target, [&](OutputSink& out) { writer.write(set, instrument, out, warnings); });
        printDiagnostics(input.path, warnings);
        return ok;
    };

    if (!options.selection.all) {
        const Instrument& instrument = set.instruments[chosen.front()];
        const OutputTarget target = resolveOutput(
            options.output, fileStemOf(writer.fileStemName(set, instrument)) + writer.extension);
        if (!target.toStdout && !mayReplace(target.path, options.output.force))
            throw CommandExit{kExitFailure};
        if (!writeOne(instrument, target))
            throw CommandExit{kExitFailure};
        return chosen;
    }

    namespace fs = std::filesystem;
    checkWriterOptions(options);
    const OutputTarget folder = resolveOutput(options.output, {});
    std::error_code ec;
    if (!folder.path.empty() && !fs::is_directory(pathFromText(folder.path), ec))
        fail(kExitFailure, folder.path, "is not a folder");

    std::vector<std::string> stems;
    for (const std::size_t index : chosen)
        stems.push_back(fileStemOf(writer.fileStemName(set, set.instruments[index])));
    std::vector<std::string> paths;
    bool mayWriteAll = true;
    for (const std::string& file : uniqueFileNames(stems, writer.extension)) {
        paths.push_back(folder.path.empty() ? file
                                            : textFromPath(pathFromText(folder.path) / pathFromText(file)));
        mayWriteAll = mayReplace(paths.back(), options.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};
    bool ok = true;
    for (std::size_t i = 0; i < chosen.size(); ++i)
        ok = writeOne(set.instruments[chosen[i]], {false, paths[i]}) && ok;
    if (!ok)
        throw CommandExit{kExitFailure};
    return chosen;
}

} // namespace quorvix::cli
