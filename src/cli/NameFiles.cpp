#include "NameFiles.h"

#include "app/Messages.h"
#include "base/Text.h"
#include "model/AddedNames.h"

namespace quorvix::cli {

namespace {

/// The names of the file, read as every input is read.
ReadResult readNameFile(const std::string& path)
{
    if (path.empty())
        usageError("--controllers and --drum-notes need a file, not an empty text");
    Input input = readInput(path, messages::kConvertFailed);
    return readModel(input);
}

void warnAdded(const std::string& path, const NamesAdded& added, std::string_view what)
{
    if (added.clashes > 0)
        printWarning(path, std::to_string(added.clashes) + " of the " + std::string(what) +
                               (added.clashes == 1 ? " is" : " are") +
                               " named otherwise by the written definition; the definition's names are kept");
    if (added.changed > 0)
        printWarning(path, std::to_string(added.changed) +
                               (added.changed == 1 ? " name holds" : " names hold") +
                               " characters that Windows-1252 lacks; they are written as \"?\"");
}

} // namespace

void addNameFileOptions(CLI::App& command, NameFileOptions& options)
{
    options.controllersOption =
        command
            .add_option("--controllers", options.controllers,
                        "Add the controller, RPN and NRPN names of this file (any format read, a midi.guide "
                        "table too) to each definition written; its own names win for the same number")
            ->type_name("FILE");
    options.drumNotesOption =
        command
            .add_option(
                "--drum-notes", options.drumNotes,
                "Add the drum-note names of this file (a midi.guide triggers table, a drum kit of any "
                "format read) to the drum voices of each definition written")
            ->type_name("FILE");
}

void addNamesFromFiles(const NameFileOptions& options, InstrumentSet& set,
                       const std::vector<std::size_t>& chosen)
{
    if (options.controllersOption->count() > 0) {
        const ReadResult from = readNameFile(options.controllers);
        if (!holdsControlNames(from.set))
            fail(kExitFailure, options.controllers, "holds no controller, RPN or NRPN names");
        warnAdded(options.controllers, addControlNames(set, chosen, from.set),
                  "numbers it names (controllers, RPNs, NRPNs)");
    }
    if (options.drumNotesOption->count() > 0) {
        const ReadResult from = readNameFile(options.drumNotes);
        std::size_t lists = 0;
        const NoteList* notes = drumNotesOf(from.set, &lists);
        if (notes == nullptr)
            fail(kExitFailure, options.drumNotes, "holds no drum-note names");
        if (lists > 1)
            printWarning(options.drumNotes, "holds " + std::to_string(lists) + " note lists; those of " +
                                                inQuotes(from.set.utf8(notes->name)) + " are added");
        const NamesAdded added = addDrumNotes(set, chosen, from.set, *notes);
        warnAdded(options.drumNotes, added, "notes it names");
        for (const std::size_t index : added.withoutDrums)
            printWarning(options.drumNotes,
                         inQuotes(set.utf8(set.instruments[index].name)) +
                             " has no patch with drum-note names: the notes are added as a "
                             "list that no patch uses");
    }
}

} // namespace quorvix::cli
