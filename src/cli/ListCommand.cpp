#include "Commands.h"
#include "InsLoading.h"
#include "app/Messages.h"

#include <iostream>

namespace quorvix::cli {

void printInsWarnings(const std::string& path, const InsFile& file, std::ostream& err)
{
    for (const InsWarning& warning : file.warnings())
        err << path << ':' << warning.line << ": warning: " << warning.message << '\n';
}

MidiFileHandle loadInsFile(const std::string& path, std::ostream& err)
{
    MidiFileHandle handle(ZT_Init());
    if (!handle) {
        err << messages::kInitLibraryFailed << '\n';
        throw CommandExit{kExitFailure};
    }
    if (ZT_CWInsLoad(handle.get(), path.c_str()) != 0) {
        err << messages::kOpenInsFailed << ": " << path << ": " << insFileOf(handle.get())->error() << '\n';
        throw CommandExit{kExitFailure};
    }
    printInsWarnings(path, *insFileOf(handle.get()), err);

    ZT_cwdef* definitions = nullptr;
    int count = 0;
    const bool found = ZT_CWInsGetDefs(handle.get(), &definitions, &count) == 0;
    ZT_Delete(definitions);
    if (!found) {
        err << messages::kNoDefinitions << ": " << path << '\n';
        throw CommandExit{kExitFailure};
    }
    return handle;
}

namespace {

void runList(const std::string& path)
{
    const MidiFileHandle handle = loadInsFile(path, std::cerr);
    InsFile& file = *insFileOf(handle.get());
    for (std::size_t i = 0; i < file.definitionCount(); ++i)
        std::cout << i << '\t' << file.definitionName(i) << '\t' << file.voiceCount(i) << '\n';
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "Error: cannot write the list to standard output\n";
        throw CommandExit{kExitFailure};
    }
}

} // namespace

void setupListCommand(CLI::App& app)
{
    auto* command =
        app.add_subcommand("list", "List the instrument definitions of an .ins file: index, name and "
                                   "number of voices, separated by tabs");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, "The .ins file")->required();
    command->callback([file] { runList(*file); });
}

} // namespace quorvix::cli
