#include "Commands.h"

namespace quorvix::cli {

void setupListCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("list", "List the instrument definitions of an .ins file");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, "The .ins file")->required();
    command->callback([file] { throw CommandExit{kExitFailure}; });
}

} // namespace quorvix::cli
