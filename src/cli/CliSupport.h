#pragma once

// What the conversion commands of quorvix-convert share: messages on stderr, the output rules (-o PATH,
// -o - for stdout, the default name, --force) and the time stamp of generated files.

#include "Commands.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvix::cli {

/// Prints "warning: MESSAGE" on stderr.
void printWarning(std::string_view message);
/// Prints "error: MESSAGE" on stderr.
void printError(std::string_view message);
/// Prints "error: MESSAGE" on stderr and ends the command with `status` (throws CommandExit).
[[noreturn]] void fail(int status, std::string_view message);

/// The text in double quotes, bytes as they are: how messages name files, definitions and voices.
std::string inQuotes(std::string_view text);

/// The output options every conversion offers.
struct OutputOptions
{
    std::string output; ///< the -o value; empty when -o was not given
    bool force = false; ///< --force: replace an existing non-empty file
};

/// Registers "-o,--output PATH" and "--force" on a command, bound to `options`.
void addOutputOptions(CLI::App& command, OutputOptions& options, const std::string& outputHelp);

/// Where a converted text goes.
struct OutputTarget
{
    bool toStdout = false; ///< "-o -": standard output
    std::string path;      ///< the file otherwise
};

/// "-o -" is standard output, "-o PATH" that path, no -o `defaultPath` (the command's default name).
OutputTarget resolveOutput(const OutputOptions& options, const std::string& defaultPath);

/// True when the file may be written: it does not exist, is empty, or `force` is set. Otherwise prints
/// `error: "PATH" already exists and is not empty; use --force to replace it` and returns false.
bool mayReplace(const std::string& path, bool force);

/// Writes every line followed by CR LF, and nothing else, to the target: to standard output as raw bytes, to
/// a file through writeLinesAtomically (the old file stays whole when anything fails). On failure prints
/// `error: cannot write "PATH": REASON` (or "standard output") and returns false.
bool writeOutput(const OutputTarget& target, const TextLines& lines);

/// Reads a SOURCE_DATE_EPOCH value: decimal digits only, 0 to 253402300799 (the end of year 9999);
/// nullopt for anything else, the empty text included.
std::optional<std::time_t> parseSourceDateEpoch(std::string_view value);

/// The moment generated files are stamped with: SOURCE_DATE_EPOCH when that variable is set, else `clock`.
/// An invalid value is a usage error: prints why and ends the command with kExitUsage.
std::time_t stampMoment(const Clock& clock = systemNow);

/// localTimeStamp(stampMoment()): the date and time, in the local time zone, of the generated files' comment.
TimeStamp commandTimeStamp();

} // namespace quorvix::cli
