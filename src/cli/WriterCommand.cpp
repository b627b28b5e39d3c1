#include "WriterCommand.h"

#include "base/PathText.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace quorvix::cli {

namespace {

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
    if (failure)
        std::rethrow_exception(failure);
    return ok;
}

} // namespace

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
    // Instruments that all go into one file need no choosing.
    bool oneFile = writer.fileOf && !set.instruments.empty();
    for (std::size_t i = 1; oneFile && i < set.instruments.size(); ++i)
        oneFile = writer.fileOf(set, i) == writer.fileOf(set, 0);
    std::vector<std::size_t> chosen = chooseInstruments(options.selection, set, options.file, oneFile);
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
    // Writes one instrument; what it has to say (a failure first, then the warnings) goes to `messages`.
    const auto writeOne = [&](const Instrument& instrument, const OutputTarget& target,
                              std::string& messages) {
        Diagnostics warnings;
        const std::string error = writeOutputQuietly(
            target, [&](OutputSink& out) { writer.write(set, instrument, out, warnings); });
        if (!error.empty())
            messages += errorLine(error);
        messages += diagnosticLines(input.path, warnings);
        return error.empty();
    };

    if (!options.selection.all) {
        const Instrument& instrument = set.instruments[chosen.front()];
        const OutputTarget target = resolveOutput(
            options.output, fileStemOf(writer.fileStemName(set, instrument)) + writer.extension);
        if (!target.toStdout && !mayReplace(target.path, options.output.force))
            throw CommandExit{kExitFailure};
        std::string messages;
        const bool ok = writeOne(instrument, target, messages);
        std::fwrite(messages.data(), 1, messages.size(), stderr);
        if (!ok)
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
    const bool ok = writeEachInOrder(chosen.size(), [&](std::size_t i, std::string& messages) {
        return writeOne(set.instruments[chosen[i]], {false, paths[i]}, messages);
    });
    if (!ok)
        throw CommandExit{kExitFailure};
    return chosen;
}

} // namespace quorvix::cli
