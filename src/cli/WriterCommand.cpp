#include "WriterCommand.h"

#include "app/Messages.h"
#include "base/PathText.h"
#include "base/Text.h"
#include "base/UniqueNames.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace quorvix::cli {

namespace {

/// Runs `work` on as many threads as there are cores (at most 8, at most `count`), this one among them, and
/// waits for them all.
void runOnThreads(std::size_t count, const std::function<void()>& work)
{
    constexpr std::size_t kMostThreads = 8;
    const std::size_t wanted =
        std::min({std::max<std::size_t>(1, std::thread::hardware_concurrency()), kMostThreads, count});
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the system gives no more threads: fewer do the work
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

/// Runs `writeOne(i, messages)` for every i below `count`, on as many threads as the machine runs at once
/// (files are independent: each is made and written whole by one thread). The messages are printed in the
/// order of i, each as soon as those before it are. Returns false when any call did; an exception ends the
/// work and is rethrown.
bool writeEachInOrder(std::size_t count, const std::function<bool(std::size_t, std::string&)>& writeOne)
{
    struct Done
    {
        std::string messages;
        bool ok = false;
        bool ready = false;
    };
    std::vector<Done> done(count);
    std::mutex mutex;
    std::size_t printed = 0;
    bool ok = true;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;

    const auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count || stop.load())
                return;
            std::string messages;
            bool written = false;
            try {
                written = writeOne(i, messages);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                stop.store(true);
                return;
            }
            const std::lock_guard lock(mutex);
            done[i] = Done{std::move(messages), written, true};
            for (; printed < count && done[printed].ready; ++printed) {
                const std::string& text = done[printed].messages;
                std::fwrite(text.data(), 1, text.size(), stderr);
                ok = ok && done[printed].ok;
                std::string().swap(done[printed].messages);
            }
        }
    };

    runOnThreads(count, work);
    if (failure)
        std::rethrow_exception(failure);
    return ok;
}

} // namespace

void addWriterOptions(CLI::App& command, WriterOptions& options, const std::string& outputHelp)
{
    command.add_option("FILE", options.files, inputsHelp())->required();
    addSelectionOptions(command, options.selection, true);
    addOutputOptions(command, options.output, outputHelp);
    addNameFileOptions(command, options.names);
}

std::string fileStemOf(std::string_view name, std::string_view fallback)
{
    return fileStemFrom(name, fallback);
}

void checkWriterOptions(const WriterOptions& options)
{
    if (options.selection.all && options.output.output == "-")
        usageError("--all writes one file per definition: -o must name a folder, not standard output");
}

OutputFolder checkOutputFolder(const std::string& path)
{
    if (path.empty())
        return {path, false};
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(pathFromText(path), ec);
    if (status.type() == fs::file_type::not_found)
        return {path, true};
    if (ec)
        fail(kExitFailure, path, "the folder cannot be opened", ec.message());
    if (!fs::is_directory(status))
        fail(kExitFailure, path, "is not a folder");
    return {path, false};
}

void makeOutputFolder(const OutputFolder& folder)
{
    if (!folder.missing)
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(pathFromText(folder.path), ec);
    // Success is judged by the result: a path ending in a separator may report no creation though it made it.
    std::error_code ignored;
    if (!fs::is_directory(pathFromText(folder.path), ignored))
        fail(kExitFailure, folder.path, "the folder cannot be made",
             (ec ? ec : std::make_error_code(std::errc::not_a_directory)).message());
    printNote("created folder " + folder.path);
}

namespace {

/// The chosen instruments, one for each file: of instruments that go into one file, the one whose file it is.
std::vector<std::size_t> chooseFiles(const WriterOptions& options, const InstrumentWriter& writer,
                                     const Inputs& inputs)
{
    const InstrumentSet& set = inputs.read.set;
    // Instruments that all go into one file need no choosing.
    bool oneFile = writer.fileOf && !set.instruments.empty();
    for (std::size_t i = 1; oneFile && i < set.instruments.size(); ++i)
        oneFile = writer.fileOf(set, i) == writer.fileOf(set, 0);
    std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, inputs.holder(), oneFile);
    if (writer.fileOf) {
        std::vector<char> seen(set.instruments.size());
        std::vector<std::size_t> files;
        for (const std::size_t index : chosen) {
            const std::size_t file = writer.fileOf(set, index);
            if (!seen[file])
                files.push_back(file);
            seen[file] = 1;
        }
        chosen = std::move(files);
    }
    return chosen;
}

} // namespace

namespace {

/// True when -o names a folder: one that is there, or a path that ends in a separator.
bool namesFolder(const OutputOptions& output)
{
    if (output.outputOption == nullptr || output.outputOption->count() == 0 || output.output.empty() ||
        output.output == "-")
        return false;
    const char last = output.output.back();
    if (last == '/' || last == static_cast<char>(std::filesystem::path::preferred_separator))
        return true;
    std::error_code ignored;
    return std::filesystem::is_directory(pathFromText(output.output), ignored);
}

/// Ends the command when one instrument is written as several files and -o names no folder for them.
void checkFolderForParts(const WriterOptions& options, const InstrumentSet& set, const WriterPlan& plan)
{
    if (options.selection.all || plan.chosen.size() < 2 || namesFolder(options.output))
        return;
    const std::string what = inQuotes(set.utf8(set.instruments[plan.chosen.front()].name)) +
                             " is written as " + std::to_string(plan.chosen.size()) + " files: -o must name ";
    if (options.output.output == "-")
        usageError(what + "a folder for them, not standard output");
    usageError(what + "a folder for them (one that is there, or a path ending in /)");
}

} // namespace

WriterPlan planWriterOutputs(const WriterOptions& given, const InstrumentWriter& writer, const Inputs& inputs)
{
    // Several inputs without a choice of one definition are written as with --all.
    WriterOptions options = given;
    if (inputs.files.size() > 1 && given.selection.indexOption->count() == 0 &&
        given.selection.definitionOption->count() == 0)
        options.selection.all = true;
    const InstrumentSet& set = inputs.read.set;
    WriterPlan plan;
    std::vector<std::string> stems;
    for (const std::size_t index : chooseFiles(options, writer, inputs)) {
        const std::size_t parts = writer.parts ? std::max<std::size_t>(writer.parts(set, index), 1) : 1;
        const std::string stem = fileStemOf(writer.fileStemName(set, set.instruments[index]));
        for (std::size_t part = 0; part < parts; ++part) {
            plan.chosen.push_back(index);
            plan.parts.push_back(part);
            stems.push_back(partFileStem(stem, part, parts));
        }
    }
    // -o names a file, unless the writer's output may be several files: then it may name their folder.
    if (!options.selection.all && plan.chosen.size() == 1 && !(writer.parts && namesFolder(options.output))) {
        plan.targets.push_back(
            resolveOutput(options.output, fittedFileName(stems.front(), {}, writer.extension)));
        if (!plan.targets.back().toStdout && !mayReplace(plan.targets.back().path, options.output.force))
            throw CommandExit{kExitFailure};
        return plan;
    }

    checkWriterOptions(options);
    checkFolderForParts(options, set, plan);
    plan.folder = checkOutputFolder(resolveOutput(options.output, {}).path);
    bool mayWriteAll = true;
    for (const std::string& file : uniqueFileNames(stems, writer.extension)) {
        const std::string& folder = plan.folder.path;
        plan.targets.push_back(
            {false, folder.empty() ? file : textFromPath(pathFromText(folder) / pathFromText(file)),
             options.output.force});
        mayWriteAll = mayReplace(plan.targets.back().path, options.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};
    return plan;
}

void writePlannedOutputs(const WriterPlan& plan, const InstrumentWriter& writer, const Inputs& inputs)
{
    const InstrumentSet& set = inputs.read.set;
    makeOutputFolder(plan.folder);
    // Writes one file; what it has to say (a failure first, then the warnings) goes to `messages`.
    const auto writeOne = [&](std::size_t i, std::string& messages) {
        const Instrument& instrument = set.instruments[plan.chosen[i]];
        Diagnostics warnings;
        const std::string error = writeOutputQuietly(plan.targets[i], [&](OutputSink& out) {
            writer.write(set, instrument, plan.parts[i], out, warnings);
        });
        if (!error.empty())
            messages += errorLine(error);
        messages += diagnosticLines(inputs.inputOf(plan.chosen[i]).path, warnings);
        return error.empty();
    };
    bool ok = true;
    if (plan.chosen.size() == 1) {
        std::string messages;
        ok = writeOne(0, messages);
        std::fwrite(messages.data(), 1, messages.size(), stderr);
    } else {
        ok = writeEachInOrder(plan.chosen.size(), writeOne);
    }
    if (!ok)
        throw CommandExit{kExitFailure};
}

std::vector<std::size_t> runWriterCommand(const WriterOptions& options, const InstrumentWriter& writer,
                                          Inputs& inputs)
{
    const WriterPlan plan = planWriterOutputs(options, writer, inputs);
    addNamesToPlan(options, plan, writer, inputs.read.set);
    writePlannedOutputs(plan, writer, inputs);
    return plan.chosen;
}

void addNamesToPlan(const WriterOptions& options, const WriterPlan& plan, const InstrumentWriter& writer,
                    InstrumentSet& set)
{
    if (!options.names.given())
        return;
    std::vector<std::size_t> written = plan.chosen;
    if (writer.fileOf) {
        std::vector<char> chosen(set.instruments.size());
        for (const std::size_t index : plan.chosen)
            chosen[index] = 1;
        written.clear();
        for (std::size_t i = 0; i < set.instruments.size(); ++i)
            if (chosen[writer.fileOf(set, i)] != 0)
                written.push_back(i);
    }
    addNamesFromFiles(options.names, set, written);
}

InstrumentWriter
writerOf(const FormatRow& row,
         std::function<void(const InstrumentSet&, std::size_t, std::size_t, OutputSink&, Diagnostics&)> write)
{
    InstrumentWriter writer;
    writer.extension = std::string(row.extensions.front());
    writer.fileStemName = [&row](const InstrumentSet& set, const Instrument& instrument) {
        return row.writer.fileStem(set, static_cast<std::size_t>(&instrument - set.instruments.data()));
    };
    writer.fileOf = row.writer.fileOf;
    if (row.writer.parts != onePart)
        writer.parts = row.writer.parts;
    writer.write = [&row, write = std::move(write)](const InstrumentSet& set, const Instrument& instrument,
                                                    std::size_t part, OutputSink& out,
                                                    Diagnostics& warnings) {
        const auto index = static_cast<std::size_t>(&instrument - set.instruments.data());
        if (part == 0 && !row.writer.saysWhenEmpty)
            warnWhenEmpty(row, set, index, warnings);
        write(set, index, part, out, warnings);
    };
    return writer;
}

namespace {

struct FormatOptions
{
    WriterOptions writer;
    std::vector<std::string> values; ///< of the format's own options
    std::vector<CLI::Option*> given; ///< the format's own options
};

/// Ends the command with a usage error for a value of the format's own options that it does not take.
void checkChoices(const FormatRow& row, const FormatOptions& options)
{
    for (std::size_t i = 0; i < row.writer.options.size(); ++i) {
        const WriterOption& option = row.writer.options[i];
        const std::vector<std::string>& choices = option.choices;
        if (choices.empty() || options.given[i]->count() == 0 ||
            std::find(choices.begin(), choices.end(), options.values[i]) != choices.end())
            continue;
        std::string listed;
        for (std::size_t c = 0; c < choices.size(); ++c)
            listed += (c == 0 ? "" : c + 1 == choices.size() ? " or " : ", ") + choices[c];
        usageError(option.flag + " takes " + listed + ", not " + inQuotes(options.values[i]));
    }
}

void runFormatWriter(const FormatRow& row, const FormatOptions& options)
{
    checkWriterOptions(options.writer);
    checkChoices(row, options);
    // A format that holds patch names only, whatever its options (a table of to-csv holds others with
    // --what).
    const bool namesOnly = !row.carries.controllers && !row.carries.drumNotes && row.writer.options.empty();
    if (namesOnly && options.writer.names.given())
        printWarning(options.writer.names.controllersOption->count() > 0 ? options.writer.names.controllers
                                                                         : options.writer.names.drumNotes,
                     "its names are not written: " + std::string(row.writer.command) + " writes a " +
                         std::string(row.name) + ", which holds patch names only");
    Inputs inputs = readInputs(options.writer.files, messages::kOpenInsFailed);
    WriteSettings settings;
    settings.stamp = commandTimeStamp();
    settings.sourceIsUtf8 = inputs.anyUtf8Format();
    settings.values = options.values;
    const InstrumentWriter writer =
        writerOf(row, [&](const InstrumentSet& set, std::size_t index, std::size_t part, OutputSink& out,
                          Diagnostics& warnings) {
            WriteSettings own = settings;
            own.sourceName = inputs.sourceNameOf(index);
            own.part = part;
            row.writer.write(set, index, own, out, warnings);
        });
    runWriterCommand(options.writer, writer, inputs);
}

} // namespace

void setupWriterCommand(CLI::App& app, const FormatRow& row)
{
    // The formats whose command does more than write each chosen definition.
    if (row.format == FileFormat::Ins)
        return setupToCakewalkCommand(app, row);
    if (row.format == FileFormat::Reabank)
        return setupToReabankCommand(app, row);

    auto* command = app.add_subcommand(row.writer.command, row.writer.summary);
    auto options = std::make_shared<FormatOptions>();
    options->values.resize(row.writer.options.size());
    addWriterOptions(*command, options->writer, row.writer.outputHelp);
    for (std::size_t i = 0; i < row.writer.options.size(); ++i) {
        const WriterOption& option = row.writer.options[i];
        CLI::Option* added = command->add_option(option.flag, options->values[i], option.help);
        if (!option.typeName.empty())
            added->type_name(option.typeName);
        options->given.push_back(added);
    }
    command->footer(row.writer.footer);
    command->callback([&row, options] { runFormatWriter(row, *options); });
}

} // namespace quorvix::cli
