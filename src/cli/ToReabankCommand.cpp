#include "Commands.h"
#include "WriterCommand.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "formats/reaper/ReabankWriter.h"

#include <filesystem>
#include <memory>

namespace quorvix::cli {

namespace {

struct ToReabankOptions
{
    WriterOptions writer;
    std::string notes;
    CLI::Option* notesOption = nullptr;
};

std::string sourceName(const std::string& path)
{
    return textFromPath(pathFromText(path).filename());
}

/// One note-name file per distinct note list of the chosen instruments, named after the lists.
void writeNoteFiles(const ToReabankOptions& options, const Input& input, const InstrumentSet& set,
                    const std::vector<std::size_t>& chosen, const ReaperOptions& reaper)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(pathFromText(options.notes), ec))
        fail(kExitFailure, options.notes, "is not a folder");
    struct NoteFile
    {
        std::size_t instrument;
        std::int32_t list;
    };
    std::vector<NoteFile> files;
    std::vector<std::string> stems;
    std::vector<bool> seen(set.noteLists.size(), false);
    for (const std::size_t index : chosen) {
        for (const NoteListUse& use : noteListsOf(set, set.instruments[index])) {
            // A list without names (a placeholder for the built-in numbers) gives no file.
            if (seen[static_cast<std::size_t>(use.noteList)] ||
                set.noteLists[static_cast<std::size_t>(use.noteList)].notes.empty())
                continue;
            seen[static_cast<std::size_t>(use.noteList)] = true;
            files.push_back({index, use.noteList});
            std::string stem =
                fileStemOf(set.utf8(set.noteLists[static_cast<std::size_t>(use.noteList)].name));
            stems.push_back(stem.empty() ? "Notes" : stem);
        }
    }
    std::vector<std::string> paths;
    bool mayWriteAll = true;
    for (const std::string& file : uniqueFileNames(stems, ".txt")) {
        paths.push_back(textFromPath(pathFromText(options.notes) / pathFromText(file)));
        mayWriteAll = mayReplace(paths.back(), options.writer.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};
    bool ok = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Instrument& instrument = set.instruments[files[i].instrument];
        ok = writeOutput({false, paths[i]},
                         [&](OutputSink& out) {
                             writeReaperNoteNames(set, instrument, files[i].list, reaper, out);
                         }) &&
             ok;
    }
    if (files.empty())
        printWarning(input.path, "holds no drum-note names: no note-name file written");
    if (!ok)
        throw CommandExit{kExitFailure};
}

void runToReabank(const ToReabankOptions& options)
{
    checkWriterOptions(options.writer);
    if (options.notesOption->count() > 0 && options.notes.empty())
        usageError("--notes needs a folder, not an empty text");
    Input input = readInput(options.writer.file, messages::kOpenInsFailed);
    ReadResult read = readModel(input);
    ReaperOptions reaper{sourceName(options.writer.file), commandTimeStamp()};
    reaper.notesWritten = options.notesOption->count() > 0;
    reaper.notesHint = "write them as REAPER note-name files with --notes DIR";

    InstrumentWriter writer;
    writer.extension = ".reabank";
    writer.fileStemName = [](const InstrumentSet& set, const Instrument& instrument) {
        return set.utf8(instrument.name);
    };
    writer.write = [&](const InstrumentSet& set, const Instrument& instrument, OutputSink& out,
                       Diagnostics& warnings) { writeReabank(set, instrument, reaper, out, warnings); };
    const std::vector<std::size_t> chosen = runWriterCommand(options.writer, writer, input, read);
    if (options.notesOption->count() > 0)
        writeNoteFiles(options, input, read.set, chosen, reaper);
}

} // namespace

void setupToReabankCommand(CLI::App& app)
{
    auto* command =
        app.add_subcommand("to-reabank", "Convert to REAPER bank files (.reabank) and note-name files");
    auto options = std::make_shared<ToReabankOptions>();
    addWriterOptions(
        *command, options->writer,
        "Write the bank file here; - writes it to standard output. Default: the definition's "
        "letters, digits, spaces and underscores, then .reabank, in the current folder. With --all, "
        "the folder for the files");
    options->notesOption =
        command
            ->add_option("--notes", options->notes,
                         "Also write one REAPER note-name file per drum-note list into this folder")
            ->type_name("DIR");
    command->footer("REAPER sends CC0 and CC32 for every bank; a device that expects only one of them, or a\n"
                    "program change, is named in a comment of the file.\n"
                    "SOURCE_DATE_EPOCH, when set, gives the time stamp in the files' comments.\n"
                    "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert to-reabank Synth.ins --definition \"My Synth\" -o MySynth.reabank\n"
                    "  quorvix-convert to-reabank Synth.ins --all -o banks --notes notes");
    command->callback([options] { runToReabank(*options); });
}

} // namespace quorvix::cli
