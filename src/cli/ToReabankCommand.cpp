#include "Commands.h"
#include "WriterCommand.h"
#include "app/Messages.h"
#include "base/PathText.h"
#include "base/UniqueNames.h"
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

/// The note-name files: one per distinct note list of the chosen instruments, named after the lists.
struct NotePlan
{
    struct NoteFile
    {
        std::size_t instrument;
        std::int32_t list;
        std::string path;
    };
    OutputFolder folder;
    std::vector<NoteFile> files;
};

/// Plans the note-name files and ends the command when one of them may not be written.
NotePlan planNoteFiles(const ToReabankOptions& options, const InstrumentSet& set,
                       const std::vector<std::size_t>& chosen)
{
    NotePlan plan;
    plan.folder = checkOutputFolder(options.notes);
    std::vector<std::string> stems;
    std::vector<bool> seen(set.noteLists.size(), false);
    for (const std::size_t index : chosen) {
        for (const NoteListUse& use : noteListsOf(set, set.instruments[index])) {
            const auto list = static_cast<std::size_t>(use.noteList);
            // A list without names (a placeholder for the built-in numbers) gives no file.
            if (seen[list] || set.noteLists[list].notes.empty())
                continue;
            seen[list] = true;
            plan.files.push_back({index, use.noteList, {}});
            stems.push_back(fileStemOf(set.utf8(set.noteLists[list].name), "Notes"));
        }
    }
    const std::vector<std::string> names = uniqueFileNames(stems, ".txt");
    bool mayWriteAll = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        plan.files[i].path = textFromPath(pathFromText(options.notes) / pathFromText(names[i]));
        mayWriteAll = mayReplace(plan.files[i].path, options.writer.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};
    return plan;
}

void writeNoteFiles(const NotePlan& plan, const ToReabankOptions& options, const Inputs& inputs,
                    const ReaperOptions& reaper)
{
    const InstrumentSet& set = inputs.read.set;
    bool ok = true;
    if (!plan.files.empty())
        makeOutputFolder(plan.folder);
    for (const NotePlan::NoteFile& file : plan.files) {
        const Instrument& instrument = set.instruments[file.instrument];
        ReaperOptions own = reaper;
        own.sourceName = inputs.sourceNameOf(file.instrument);
        ok = writeOutput(
                 {false, file.path, options.writer.output.force},
                 [&](OutputSink& out) { writeReaperNoteNames(set, instrument, file.list, own, out); }) &&
             ok;
    }
    if (plan.files.empty())
        printWarning(inputs.shownPaths(), std::string(inputs.files.size() == 1 ? "holds" : "hold") +
                                              " no drum-note names: no note-name file written");
    if (!ok)
        throw CommandExit{kExitFailure};
}

void runToReabank(const FormatRow& row, const ToReabankOptions& options)
{
    checkWriterOptions(options.writer);
    const bool withNotes = options.notesOption->count() > 0;
    if (withNotes && options.notes.empty())
        usageError("--notes needs a folder, not an empty text");
    Inputs inputs = readInputs(options.writer.files, messages::kOpenInsFailed);
    InstrumentSet& set = inputs.read.set;
    ReaperOptions reaper{{}, commandTimeStamp()};
    reaper.notesWritten = options.notesOption->count() > 0;
    reaper.notesHint = "write them as REAPER note-name files with --notes DIR";

    const InstrumentWriter writer = writerOf(row, [&](const InstrumentSet& set, std::size_t index,
                                                      std::size_t, OutputSink& out, Diagnostics& warnings) {
        ReaperOptions own = reaper;
        own.sourceName = inputs.sourceNameOf(index);
        writeReabank(set, set.instruments[index], own, out, warnings);
    });
    // Every output is checked before any is written, so that a refused one leaves nothing half done.
    const WriterPlan plan = planWriterOutputs(options.writer, writer, inputs);
    addNamesToPlan(options.writer, plan, writer, set);
    const NotePlan notes = withNotes ? planNoteFiles(options, set, plan.chosen) : NotePlan{};
    writePlannedOutputs(plan, writer, inputs);
    if (withNotes)
        writeNoteFiles(notes, options, inputs, reaper);
}

} // namespace

void setupToReabankCommand(CLI::App& app, const FormatRow& row)
{
    auto* command = app.add_subcommand(row.writer.command, row.writer.summary);
    auto options = std::make_shared<ToReabankOptions>();
    addWriterOptions(*command, options->writer, row.writer.outputHelp);
    options->notesOption =
        command
            ->add_option("--notes", options->notes,
                         "Also write one REAPER note-name file per drum-note list into this folder")
            ->type_name("DIR");
    command->footer(row.writer.footer);
    command->callback([&row, options] { runToReabank(row, *options); });
}

} // namespace quorvix::cli
