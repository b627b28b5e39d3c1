#include "Commands.h"

namespace quorvix::cli {

void setupToCubaseCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("to-cubase", "Convert an instrument definition to a Cubase patchname script");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, "The .ins file")->required();
    command->callback([file] { throw CommandExit{kExitFailure}; });
}

} // namespace quorvix::cli
