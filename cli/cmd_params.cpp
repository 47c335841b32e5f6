#include "commands.h"

namespace kolmo::cli {

void addParamsCommand(CLI::App& app, int& status)
{
    auto* cmd = app.add_subcommand("params", "(not available yet)");
    cmd->callback([&status] { status = 2; });
}

} // namespace kolmo::cli
