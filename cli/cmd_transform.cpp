#include "commands.h"

namespace kolmo::cli {

void addTransformCommand(CLI::App& app, int& status)
{
    auto* cmd = app.add_subcommand("transform", "(not available yet)");
    cmd->callback([&status] { status = 2; });
}

} // namespace kolmo::cli
