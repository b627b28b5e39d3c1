#include "CliSupport.h"

#include "app/Messages.h"
#include "base/FileNames.h"
#include "base/FileWriter.h"
#include "base/InputFile.h"
#include "base/LargePages.h"
#include "base/PathText.h"
#include "base/Platform.h"
#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace quorvix::cli {

namespace {

constexpr std::string_view kProgram = "quorvix-convert";
constexpr std::time_t kLastSourceDateEpoch = 253402300799; // 9999-12-31 23:59:59 UTC
constexpr std::string_view kAlreadyExists = "already exists and is not empty; use --force to replace it";

void printLine(std::string_view text)
{
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

/// Standard output as a sink, written as raw bytes.
class StdoutSink final : public OutputSink
{
public:
    StdoutSink()
    {
        platform::useBinaryMode(stdout); // CR LF as written, no second CR
    }
    void write(std::string_view bytes) override
    {
        if (m_ok && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
            m_ok = false;
            m_error = errno;
        }
    }
    bool finish()
    {
        if (std::fflush(stdout) != 0 && m_ok) {
            m_ok = false;
            m_error = errno;
        }
        return m_ok;
    }
    int error() const { return m_error; }

private:
    bool m_ok = true;
    int m_error = 0;
};

} // namespace

void printOutput(std::string_view text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        printError("standard output: cannot be written");
        throw CommandExit{kExitFailure};
    }
}

std::string shownPath(std::string_view path)
{
    return path.empty() ? std::string("''") : std::string(path);
}

std::string errorLine(std::string_view text)
{
    return std::string(kProgram) + ": error: " + std::string(text) + '\n';
}

void printError(std::string_view text)
{
    const std::string line = errorLine(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void fail(int status, std::string_view path, std::string_view message, std::string_view reason)
{
    std::string text = shownPath(path);
    for (const std::string_view part : {message, reason})
        if (!part.empty())
            text += ": " + std::string(part);
    printError(text);
    throw CommandExit{status};
}

void usageError(std::string_view text)
{
    printError(text);
    throw CommandExit{kExitUsage};
}

std::string diagnosticLines(std::string_view path, const Diagnostics& diagnostics)
{
    std::string block;
    for (const Diagnostic& diagnostic : diagnostics.list()) {
        block += formatDiagnostic(shownPath(path), diagnostic);
        block += '\n';
    }
    return block;
}

void printDiagnostics(std::string_view path, const Diagnostics& diagnostics)
{
    const std::string block = diagnosticLines(path, diagnostics);
    std::fwrite(block.data(), 1, block.size(), stderr);
}

void printWarning(std::string_view path, std::string_view message)
{
    printLine(shownPath(path) + ": warning: " + std::string(message));
}

void printNote(std::string_view text)
{
    printLine(std::string(kProgram) + ": note: " + std::string(text));
}

Input readInput(const std::string& path, std::string_view message, std::string_view notTextMessage)
{
    InputRules rules{"text file", true};
    rules.keepCompressed = true; // the formats that read compressed files unpack them as they read
    InputFile file = quorvix::readInput(path, rules);
    FileFormat format = file.ok() ? detectFormat(file.bytes) : FileFormat::Unknown;
    // Only some formats may be UTF-16 or UTF-32 text.
    if (const FormatRow* row = formatRow(format);
        file.ok() && !file.wideText.empty() && (row == nullptr || !row->wideText)) {
        file.error = std::move(file.wideText);
        file.notText = true;
    }
    if (file.ok()) {
        Unpacked content = asReaderTakes(format, std::move(file.bytes));
        file.bytes = std::move(content.bytes);
        file.error = std::move(content.error);
    }
    if (!file.ok()) {
        if (file.notText) {
            std::string_view named = failureMessage(guessedFormat(path, FileFormat::Unknown));
            if (named.empty())
                named = notTextMessage.empty() ? message : notTextMessage;
            fail(kExitFailure, path, named, file.error);
        }
        fail(kExitFailure, path, message, file.error);
    }
    // What the command builds from the input is about as large as the input, and quorvix-convert ends
    // once it is written: its heap may keep large pages (see LargePages.h).
    prepareLargePageHeap(file.bytes.size() + file.bytes.size() / 2);
    Input input;
    input.path = path;
    input.stem = textFromPath(pathFromText(path).stem());
    input.format = format;
    input.bytes = std::move(file.bytes);
    return input;
}

FileFormat guessedFormat(const std::string& path, FileFormat detected)
{
    if (detected != FileFormat::Unknown)
        return detected;
    const FormatRow* row = formatOfExtension(path);
    return row != nullptr ? row->format : FileFormat::Unknown;
}

std::string_view failureMessage(FileFormat format)
{
    const FormatRow* row = formatRow(format);
    if (row == nullptr)
        return {};
    switch (row->failure) {
    case InputFailure::OpenInsFailed:
        return messages::kOpenInsFailed;
    case InputFailure::NoWindowsScript:
        return messages::kNoWindowsScript;
    case InputFailure::ConvertFailed:
        return messages::kConvertFailed;
    }
    return {};
}

std::string inputHelp(const FormatRow* last)
{
    std::vector<std::string_view> names;
    for (const FormatRow& row : formatTable())
        if (row.read != nullptr && &row != last)
            names.push_back(row.helpName);
    if (last != nullptr)
        names.push_back(last->helpName);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

ReadResult readModel(Input& input)
{
    ReadResult result = readInstruments(std::move(input.bytes), input.format, input.stem);
    input.bytes = std::string();
    printDiagnostics(input.path, result.warnings);
    if (!result.ok()) {
        const Diagnostic& error = *result.error;
        if (error.at.line > 0) {
            printLine(formatDiagnostic(shownPath(input.path), error));
            throw CommandExit{kExitFailure};
        }
        fail(kExitFailure, input.path, failureMessage(guessedFormat(input.path, input.format)),
             error.message);
    }
    if (result.set.instruments.empty())
        fail(kExitFailure, input.path, messages::kNoDefinitions);
    return result;
}

void addSelectionOptions(CLI::App& command, Selection& selection, bool withAll)
{
    selection.indexOption =
        command.add_option("--index", selection.index, "The definition at this 0-based index (see: list)");
    selection.definitionOption = command.add_option("--definition", selection.definition,
                                                    "The first definition with exactly this name");
    selection.indexOption->excludes(selection.definitionOption);
    if (withAll) {
        selection.allOption = command.add_flag("--all", selection.all, "One file per definition");
        selection.indexOption->excludes(selection.allOption);
        selection.definitionOption->excludes(selection.allOption);
    }
}

std::vector<std::size_t> chooseInstruments(const Selection& selection, const InstrumentSet& set,
                                           std::string_view holder, bool defaultAll)
{
    const std::size_t count = set.instruments.size();
    const auto listed = [&](const std::string& message) {
        std::string text = message;
        for (std::size_t i = 0; i < count; ++i)
            text += "\n  " + std::to_string(i) + "\t" + std::string(set.text(set.instruments[i].name));
        usageError(text);
    };
    const std::string counted = std::string(holder) + (holder.front() == '"' ? " holds " : " hold ") +
                                std::to_string(count) + " instrument definitions (0 to " +
                                std::to_string(count - 1) + ")";
    std::vector<std::size_t> chosen;
    if (selection.all ||
        (defaultAll && selection.indexOption->count() == 0 && selection.definitionOption->count() == 0)) {
        for (std::size_t i = 0; i < count; ++i)
            chosen.push_back(i);
    } else if (selection.indexOption->count() > 0) {
        if (selection.index < 0 || static_cast<std::size_t>(selection.index) >= count)
            listed("--index " + std::to_string(selection.index) + " is out of range: " + counted + ":");
        chosen.push_back(static_cast<std::size_t>(selection.index));
    } else if (selection.definitionOption->count() > 0) {
        for (std::size_t i = 0; i < count && chosen.empty(); ++i)
            if (set.text(set.instruments[i].name) == selection.definition)
                chosen.push_back(i);
        if (chosen.empty())
            listed("no instrument definition is named " + inQuotes(selection.definition) + "; " + counted +
                   ":");
    } else if (count == 1) {
        chosen.push_back(0);
    } else {
        listed(counted + "; choose one with --index N, --definition NAME" +
               (selection.allOption != nullptr ? std::string(" or --all:") : std::string(":")));
    }
    return chosen;
}

void addOutputOptions(CLI::App& command, OutputOptions& options, const std::string& outputHelp)
{
    options.outputOption = command.add_option("-o,--output", options.output, outputHelp)->type_name("PATH");
    command.add_flag("--force", options.force, "Replace an existing non-empty output file");
}

OutputTarget resolveOutput(const OutputOptions& options, const std::string& defaultPath)
{
    const bool given = options.outputOption != nullptr && options.outputOption->count() > 0;
    if (given && options.output.empty())
        usageError("-o needs a path (or - for standard output), not an empty text");
    if (options.output == "-")
        return {true, {}};
    return {false, given ? options.output : defaultPath, options.force};
}

bool mayReplace(const std::string& path, bool force)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(pathFromText(path), error);
    if (error || !fs::exists(status))
        return true;
    if (fs::is_directory(status)) {
        printError(shownPath(path) + ": cannot be written: it is a folder: " +
                   std::make_error_code(std::errc::is_a_directory).message());
        return false;
    }
    if (force || !fs::is_regular_file(status))
        return true;
    const auto size = fs::file_size(pathFromText(path), error);
    if (error || size == 0)
        return true;
    printError(shownPath(path) + ": " + std::string(kAlreadyExists));
    return false;
}

std::string writeOutputQuietly(const OutputTarget& target, const std::function<void(OutputSink&)>& produce)
{
    if (target.toStdout) {
        StdoutSink out;
        produce(out);
        if (!out.finish())
            return std::string("standard output: cannot be written: ") + std::strerror(out.error());
        return {};
    }
    const WriteResult result = writeAtomically(
        target.path,
        [&](OutputSink& out) {
            produce(out);
            return true;
        },
        target.force);
    if (result.targetAppeared)
        return shownPath(target.path) + ": " + std::string(kAlreadyExists);
    if (!result.ok)
        return shownPath(target.path) + ": cannot be written: " + result.error;
    return {};
}

bool writeOutput(const OutputTarget& target, const std::function<void(OutputSink&)>& produce)
{
    const std::string error = writeOutputQuietly(target, produce);
    if (!error.empty())
        printError(error);
    return error.empty();
}

std::optional<std::time_t> parseSourceDateEpoch(std::string_view value)
{
    if (value.size() > 20)
        return std::nullopt;
    const auto seconds =
        decimalDigits(value, static_cast<std::uint64_t>(kLastSourceDateEpoch), TooLarge::Fails);
    if (!seconds || *seconds > static_cast<unsigned long long>(std::numeric_limits<std::time_t>::max()))
        return std::nullopt;
    return static_cast<std::time_t>(*seconds);
}

std::time_t stampMoment(const Clock& clock)
{
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr)
        return clock();
    const auto moment = parseSourceDateEpoch(value);
    if (!moment)
        usageError("SOURCE_DATE_EPOCH must be a whole number of seconds from 0 to 253402300799, not " +
                   inQuotes(value));
    return *moment;
}

TimeStamp commandTimeStamp()
{
    return localTimeStamp(stampMoment());
}

} // namespace quorvix::cli
