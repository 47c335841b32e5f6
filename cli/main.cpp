// kolmo-cli: Kolmo's computations in batch form, without windows.
#include "commands.h"

#include "platform/dialogs.h"

#include <iostream>
#include <unistd.h>

namespace kolmo::cli {

std::filesystem::path defaultDataDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path() / "data";
    return exe.parent_path() / "data";
}

} // namespace kolmo::cli

int main(int argc, char** argv)
{
    CLI::App app{"Kolmo v3.00 - coordinate transformations between D48 and D96 (batch form)", "kolmo-cli"};
    app.require_subcommand(1);
    int status = 0;
    kolmo::cli::addConvertCommand(app, status);
    kolmo::cli::addGeoidCommand(app, status);
    kolmo::cli::addTransformCommand(app, status);
    kolmo::cli::addParamsCommand(app, status);

    kolmo::platform::StderrDialogs dialogs;
    kolmo::platform::ScopedDialogs scoped(dialogs);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    return status;
}
