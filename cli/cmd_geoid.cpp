#include "commands.h"

namespace kolmo::cli {

void addGeoidCommand(CLI::App& app, int& status)
{
    auto* cmd = app.add_subcommand("geoid", "(not available yet)");
    cmd->callback([&status] { status = 2; });
}

} // namespace kolmo::cli
