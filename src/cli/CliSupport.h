#pragma once

// What the commands of quorvix-convert share: messages on stderr in one form, reading the input once,
// choosing definitions, the output rules (-o PATH, -o - for stdout, the default name, --force) and the time
// stamp.
//
// Messages:  quorvix-convert: error: PATH: MESSAGE: REASON     (MESSAGE: what the window would show)
//            PATH:LINE: warning: MESSAGE                       (PATH: warning: MESSAGE without a line)

#include "Commands.h"
#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "formats/Formats.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::cli {

/// How a path is named in messages: as given, or '' when empty.
std::string shownPath(std::string_view path);

/// Prints "quorvix-convert: error: TEXT".
void printError(std::string_view text);
/// Prints "quorvix-convert: error: PATH[: MESSAGE][: REASON]" and ends the command with `status`.
[[noreturn]] void fail(int status, std::string_view path, std::string_view message,
                       std::string_view reason = {});
/// Prints "quorvix-convert: error: TEXT" and ends the command with kExitUsage.
[[noreturn]] void usageError(std::string_view text);
/// Prints every diagnostic as "PATH:LINE: warning: MESSAGE".
void printDiagnostics(std::string_view path, const Diagnostics& diagnostics);
/// What printDiagnostics prints, one line each.
std::string diagnosticLines(std::string_view path, const Diagnostics& diagnostics);
/// What printError prints, with its line end.
std::string errorLine(std::string_view text);
/// Prints "PATH: warning: MESSAGE".
void printWarning(std::string_view path, std::string_view message);
/// Prints "quorvix-convert: note: TEXT": something done that the user did not name.
void printNote(std::string_view text);
/// Writes `text` to standard output as it is; ends the command with "standard output: cannot be written"
/// when it cannot.
void printOutput(std::string_view text);

/// An input file read once, with its format.
struct Input
{
    std::string path;
    std::string stem; ///< the file name without folder and extension
    FileFormat format = FileFormat::Unknown;
    std::string bytes;
};

/// Reads the input once and tells its format. When it cannot be read, prints the error with `message` (what
/// the window would show); when its content is no text (a NUL byte, UTF-16 text that is no MIDNAM document),
/// with the message of the format its name suggests, else `notTextMessage`, else `message`. One error line
/// either way; then the command ends.
Input readInput(const std::string& path, std::string_view message, std::string_view notTextMessage = {});

/// The format a failure of the input is named after: the detected one, else the one its extension suggests;
/// Unknown when neither says.
FileFormat guessedFormat(const std::string& path, FileFormat detected);

/// The window's message for an input of this format that cannot be used; empty for Unknown.
std::string_view failureMessage(FileFormat format);

/// The help of an INPUT argument: every format the table reads, "An .ins file, a Cubase script, ...", with
/// `last` (when given) named last.
std::string inputHelp(const FormatRow* last = nullptr);

/// Reads the instruments of the input (its bytes are moved out), prints its warnings, and ends the command
/// when it cannot be read or holds no instrument.
ReadResult readModel(Input& input);

/// Which instruments a command converts: --index, --definition (the whole name), --all, or the only one.
struct Selection
{
    int index = -1;
    std::string definition;
    bool all = false;
    CLI::Option* indexOption = nullptr;
    CLI::Option* definitionOption = nullptr;
    CLI::Option* allOption = nullptr;
};

/// Registers --index, --definition and (when `withAll`) --all, excluding each other.
void addSelectionOptions(CLI::App& command, Selection& selection, bool withAll);

/// The chosen instruments' indexes; without a choice the only instrument, or all when `defaultAll`. A usage
/// error lists the instruments and names what holds them: `holder`, a quoted path ("holds") or "the 3
/// files" ("hold").
std::vector<std::size_t> chooseInstruments(const Selection& selection, const InstrumentSet& set,
                                           std::string_view holder, bool defaultAll = false);

/// The output options every conversion offers.
struct OutputOptions
{
    std::string output; ///< the -o value
    CLI::Option* outputOption = nullptr;
    bool force = false; ///< --force: replace an existing non-empty file
};

/// Registers "-o,--output PATH" and "--force" on a command, bound to `options`.
void addOutputOptions(CLI::App& command, OutputOptions& options, const std::string& outputHelp);

/// Where a converted text goes.
struct OutputTarget
{
    bool toStdout = false; ///< "-o -": standard output
    std::string path;      ///< the file otherwise
    bool force = false;    ///< --force: a file that another program makes meanwhile is replaced too
};

/// "-o -" is standard output, "-o PATH" that path, no -o `defaultPath`, with --force. "-o ''" is a usage
/// error.
OutputTarget resolveOutput(const OutputOptions& options, const std::string& defaultPath);

/// True when the file may be written: nothing is there, or an empty file, or `force` is set. Otherwise prints
/// why and returns false.
bool mayReplace(const std::string& path, bool force);

/// Writes what `produce` puts into its sink to the target: standard output as raw bytes, a file whole or not
/// at all. On failure prints "quorvix-convert: error: PATH: cannot be written: REASON" and returns false.
bool writeOutput(const OutputTarget& target, const std::function<void(OutputSink&)>& produce);

/// Same without printing: the message writeOutput would print ("PATH: cannot be written: REASON"; the one
/// of mayReplace when another program made the file meanwhile), empty on success. `produce` is not called
/// when the file cannot be opened.
std::string writeOutputQuietly(const OutputTarget& target, const std::function<void(OutputSink&)>& produce);

/// A sink that throws the bytes away.
class DiscardSink final : public OutputSink
{
public:
    void write(std::string_view) override {}
};

/// Reads a SOURCE_DATE_EPOCH value: decimal digits only, 0 to 253402300799 (the end of year 9999);
/// nullopt for anything else, the empty text included.
std::optional<std::time_t> parseSourceDateEpoch(std::string_view value);

/// The moment generated files are stamped with: SOURCE_DATE_EPOCH when that variable is set, else `clock`.
/// An invalid value is a usage error.
std::time_t stampMoment(const Clock& clock = systemNow);

/// localTimeStamp(stampMoment()).
TimeStamp commandTimeStamp();

} // namespace quorvix::cli
