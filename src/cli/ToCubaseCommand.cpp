#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"
#include "formats/ins/InsReader.h"
#include "legacy/ZT_midifile.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace quorvix::cli {

namespace {

struct ToCubaseOptions
{
    std::string file;
    int index = -1;
    std::string definition;
    bool all = false;
    OutputOptions output;
    CLI::Option* indexOption = nullptr;
    CLI::Option* definitionOption = nullptr;
};

struct LibraryFree
{
    void operator()(MIDIFile* file) const { ZT_Free(file); }
};
using LibraryHandle = std::unique_ptr<MIDIFile, LibraryFree>;

struct ArrayDelete
{
    void operator()(void* array) const { ZT_Delete(array); }
};

std::string_view fieldText(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, '\0', size);
    return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size};
}

// Loads the file the way the window does, printing the reader's warnings as FILE:LINE: warning: MESSAGE.
LibraryHandle loadDefinitions(const std::string& path, std::vector<std::string>& names)
{
    LibraryHandle library(ZT_Init());
    if (!library)
        fail(kExitFailure, messages::kInitLibraryFailed);
    const bool loaded = ZT_CWInsLoad(library.get(), path.c_str()) == 0;
    if (const InsFile* ins = insFileOf(library.get())) {
        for (const InsWarning& warning : ins->warnings()) {
            std::string line =
                path + ":" + std::to_string(warning.line) + ": warning: " + warning.message + "\n";
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
        if (!loaded)
            fail(kExitFailure, inQuotes(path) + ": " + messages::kOpenInsFailed +
                                   (ins->error().empty() ? std::string() : ": " + ins->error()));
    }
    if (!loaded)
        fail(kExitFailure, inQuotes(path) + ": " + messages::kOpenInsFailed);

    ZT_cwdef* defs = nullptr;
    int count = 0;
    const bool listed = ZT_CWInsGetDefs(library.get(), &defs, &count) == 0;
    std::unique_ptr<ZT_cwdef, ArrayDelete> owned(defs);
    if (!listed || count <= 0)
        fail(kExitFailure, inQuotes(path) + ": " + messages::kNoDefinitions);
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        names.emplace_back(fieldText(defs[i].name, sizeof defs[i].name));
    return library;
}

[[noreturn]] void failWithDefinitionList(const std::string& message, const std::vector<std::string>& names)
{
    std::string text = message;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += "\n  " + std::to_string(i) + "\t" + names[i];
    fail(kExitUsage, text);
}

std::vector<std::size_t> chooseDefinitions(const ToCubaseOptions& options,
                                           const std::vector<std::string>& names)
{
    const std::string counted = inQuotes(options.file) + " holds " + std::to_string(names.size()) +
                                " instrument definitions (0 to " + std::to_string(names.size() - 1) + ")";
    std::vector<std::size_t> chosen;
    if (options.all) {
        for (std::size_t i = 0; i < names.size(); ++i)
            chosen.push_back(i);
    } else if (options.indexOption->count() > 0) {
        if (options.index < 0 || static_cast<std::size_t>(options.index) >= names.size())
            failWithDefinitionList(
                "--index " + std::to_string(options.index) + " is out of range: " + counted + ":", names);
        chosen.push_back(static_cast<std::size_t>(options.index));
    } else if (options.definitionOption->count() > 0) {
        const auto found = std::find(names.begin(), names.end(), options.definition);
        if (found == names.end())
            failWithDefinitionList("no instrument definition is named " + inQuotes(options.definition) +
                                       "; " + counted + ":",
                                   names);
        chosen.push_back(static_cast<std::size_t>(found - names.begin()));
    } else if (names.size() == 1) {
        chosen.push_back(0);
    } else {
        failWithDefinitionList(counted + "; choose one with --index N, --definition NAME or --all:", names);
    }
    return chosen;
}

// The script of one definition, in `lines`; prints a warning for every voice that fits no group.
void convertDefinition(MIDIFile* library, std::size_t index, const std::string& name, const TimeStamp& stamp,
                       TextLines& lines)
{
    if (ZT_CWInsSetDef(library, static_cast<int>(index)) != 0)
        fail(kExitFailure, inQuotes(name) + ": " + messages::kOpenDefinitionFailed);
    ZT_cwbankvoice* voices = nullptr;
    long count = 0;
    char noText[1] = {};
    const bool listed = ZT_CWInsGetBankVoiceList(library, noText, &voices, &count) == 0;
    std::unique_ptr<ZT_cwbankvoice, ArrayDelete> owned(voices);
    if (!listed || count < 0 || count > std::numeric_limits<std::int32_t>::max() || (count > 0 && !voices))
        fail(kExitFailure, inQuotes(name) + ": " + messages::kVoiceListFailed);

    const auto voiceCount = static_cast<std::int32_t>(count);
    std::vector<std::uint8_t> taken(static_cast<std::size_t>(voiceCount), 0);
    std::int32_t cursor = 0;
    const auto leftOut = ConvertToCubaseScript(voices, voiceCount, taken.data(), cursor, name, stamp, lines);
    for (const std::int32_t i : leftOut)
        printWarning(inQuotes(VoiceName(voices[i])) + " Bank " + std::to_string(voices[i].bank) +
                     " fits no group and is left out");
}

// File names of --all: the default name of each definition, " (2)", " (3)", ... for repeated names. Names
// that differ only in letter case count as repeated, since many file systems would take them for one file.
std::vector<std::string> uniqueFileNames(const std::vector<std::string>& names,
                                         const std::vector<std::size_t>& chosen)
{
    std::map<std::string, int> seen;
    std::vector<std::string> files;
    for (const std::size_t index : chosen) {
        std::string file = DefaultScriptFileName(names[index]);
        std::string stem = file.substr(0, file.size() - 4);
        std::string key = stem;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        const int n = ++seen[key];
        files.push_back(n == 1 ? file : stem + " (" + std::to_string(n) + ").txt");
    }
    return files;
}

void runToCubase(const ToCubaseOptions& options)
{
    if (options.all && options.output.output == "-")
        fail(kExitUsage, "--all writes one file per definition: -o must name a folder, not standard output");

    std::vector<std::string> names;
    const LibraryHandle library = loadDefinitions(options.file, names);
    const std::vector<std::size_t> chosen = chooseDefinitions(options, names);
    const TimeStamp stamp = commandTimeStamp();

    if (!options.all) {
        const std::string& name = names[chosen.front()];
        const OutputTarget target = resolveOutput(options.output, DefaultScriptFileName(name));
        if (!target.toStdout && !mayReplace(target.path, options.output.force))
            throw CommandExit{kExitFailure};
        TextLines lines;
        convertDefinition(library.get(), chosen.front(), name, stamp, lines);
        if (!writeOutput(target, lines))
            throw CommandExit{kExitFailure};
        return;
    }

    namespace fs = std::filesystem;
    const std::string& folder = options.output.output;
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(fs::path(folder), ec))
        fail(kExitFailure, inQuotes(folder) + " is not a folder");

    const std::vector<std::string> files = uniqueFileNames(names, chosen);
    std::vector<std::string> paths;
    bool mayWriteAll = true;
    for (const std::string& file : files) {
        paths.push_back(folder.empty() ? file : (fs::path(folder) / file).string());
        mayWriteAll = mayReplace(paths.back(), options.output.force) && mayWriteAll;
    }
    if (!mayWriteAll)
        throw CommandExit{kExitFailure};

    bool ok = true;
    TextLines lines;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        convertDefinition(library.get(), chosen[i], names[chosen[i]], stamp, lines);
        ok = writeOutput({false, paths[i]}, lines) && ok;
    }
    if (!ok)
        throw CommandExit{kExitFailure};
}

} // namespace

void setupToCubaseCommand(CLI::App& app)
{
    auto* command =
        app.add_subcommand("to-cubase", "Convert an instrument definition to a Cubase patchname script");
    auto options = std::make_shared<ToCubaseOptions>();
    command->add_option("FILE", options->file, "The .ins file")->required();
    options->indexOption =
        command->add_option("--index", options->index, "The definition at this 0-based index (see: list)");
    options->definitionOption = command->add_option("--definition", options->definition,
                                                    "The first definition with exactly this name");
    auto* all = command->add_flag("--all", options->all, "One script per definition");
    options->indexOption->excludes(options->definitionOption)->excludes(all);
    options->definitionOption->excludes(all);
    addOutputOptions(*command, options->output,
                     "Write the script here; - writes it to standard output. Default: the name the window "
                     "proposes (the definition's letters, digits, spaces and underscores, then .txt) in the "
                     "current folder. With --all, the folder for the scripts");
    command->footer("Without --index, --definition or --all the file must hold a single definition.\n"
                    "Voices that fit no group of the script are left out, with a warning each.\n"
                    "SOURCE_DATE_EPOCH, when set, gives the time stamp of the script.\n"
                    "Exit status: 0 done, 1 a file or conversion error, 2 a usage error.\n"
                    "\n"
                    "Examples:\n"
                    "  quorvix-convert to-cubase Synth.ins --definition \"My Synth\" -o MySynth.txt\n"
                    "  quorvix-convert to-cubase Synth.ins --all -o scripts");
    command->callback([options] { runToCubase(*options); });
}

} // namespace quorvix::cli
