#include "Commands.h"

namespace quorvix::cli {

void setupToCakewalkCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("to-cakewalk", "Convert a Cubase patchname script to an instrument definition");
    auto file = std::make_shared<std::string>();
    command->add_option("SCRIPT", *file, "The Cubase patchname script")->required();
    command->callback([file] { throw CommandExit{kExitFailure}; });
}

} // namespace quorvix::cli
