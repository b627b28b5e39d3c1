#include "CliSupport.h"
#include "Commands.h"
#include "app/Messages.h"

#include <cstdio>

namespace quorvix::cli {

namespace {

void runList(const std::string& path)
{
    Input input = readInput(path, messages::kOpenInsFailed);
    const ReadResult read = readModel(input);
    const InstrumentSet& set = read.set;
    std::string out;
    for (std::size_t i = 0; i < set.instruments.size(); ++i) {
        const Instrument& instrument = set.instruments[i];
        out += std::to_string(i) + '\t' + std::string(set.text(instrument.name)) + '\t' +
               std::to_string(set.voiceCount(instrument)) + '\n';
    }
    printOutput(out);
}

} // namespace

void setupListCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("list", "List the instrument definitions of a file: index, name and "
                                               "number of voices, separated by tabs");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, inputHelp())->required();
    command->callback([file] { runList(*file); });
}

} // namespace quorvix::cli
