#include "commands.h"

namespace kolmo::cli {

void addConvertCommand(CLI::App& app, int& status)
{
    auto* cmd = app.add_subcommand("convert", "(not available yet)");
    cmd->callback([&status] { status = 2; });
}

} // namespace kolmo::cli
