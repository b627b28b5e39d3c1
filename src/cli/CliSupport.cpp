#include "CliSupport.h"

#include "base/FileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace quorvix::cli {

namespace {

void printLine(std::string_view prefix, std::string_view message)
{
    std::string line;
    line.reserve(prefix.size() + message.size() + 1);
    line += prefix;
    line += message;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

constexpr std::time_t kLastSourceDateEpoch = 253402300799; // 9999-12-31 23:59:59 UTC

} // namespace

void printWarning(std::string_view message)
{
    printLine("warning: ", message);
}

void printError(std::string_view message)
{
    printLine("error: ", message);
}

void fail(int status, std::string_view message)
{
    printError(message);
    throw CommandExit{status};
}

std::string inQuotes(std::string_view text)
{
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

void addOutputOptions(CLI::App& command, OutputOptions& options, const std::string& outputHelp)
{
    command.add_option("-o,--output", options.output, outputHelp)->type_name("PATH");
    command.add_flag("--force", options.force, "Replace an existing non-empty output file");
}

OutputTarget resolveOutput(const OutputOptions& options, const std::string& defaultPath)
{
    if (options.output == "-")
        return {true, {}};
    return {false, options.output.empty() ? defaultPath : options.output};
}

bool mayReplace(const std::string& path, bool force)
{
    if (force || existingFileSize(path) <= 0)
        return true;
    printError(inQuotes(path) + " already exists and is not empty; use --force to replace it");
    return false;
}

bool writeOutput(const OutputTarget& target, const TextLines& lines)
{
    if (!target.toStdout) {
        const WriteResult result = writeLinesAtomically(target.path, lines);
        if (!result.ok)
            printError("cannot write " + inQuotes(target.path) + ": " + result.error);
        return result.ok;
    }

#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY); // CR LF as written, no second CR
#endif
    std::string block;
    block.reserve(1 << 16);
    bool ok = true;
    for (const std::string& line : lines) {
        block += line;
        block += "\r\n";
        if (block.size() >= (1 << 16)) {
            ok = ok && std::fwrite(block.data(), 1, block.size(), stdout) == block.size();
            block.clear();
        }
    }
    ok = ok && std::fwrite(block.data(), 1, block.size(), stdout) == block.size();
    ok = std::fflush(stdout) == 0 && ok;
    if (!ok)
        printError(std::string("cannot write standard output: ") + std::strerror(errno));
    return ok;
}

std::optional<std::time_t> parseSourceDateEpoch(std::string_view value)
{
    if (value.empty() || value.size() > 20)
        return std::nullopt;
    unsigned long long seconds = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        seconds = seconds * 10 + static_cast<unsigned long long>(c - '0'); // stops at the limit: never wraps
        if (seconds > static_cast<unsigned long long>(kLastSourceDateEpoch))
            return std::nullopt;
    }
    if (seconds > static_cast<unsigned long long>(std::numeric_limits<std::time_t>::max()))
        return std::nullopt;
    return static_cast<std::time_t>(seconds);
}

std::time_t stampMoment(const Clock& clock)
{
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr)
        return clock();
    const auto moment = parseSourceDateEpoch(value);
    if (!moment)
        fail(kExitUsage, "SOURCE_DATE_EPOCH must be a whole number of seconds from 0 to 253402300799, not " +
                             inQuotes(value));
    return *moment;
}

TimeStamp commandTimeStamp()
{
    return localTimeStamp(stampMoment());
}

} // namespace quorvix::cli
