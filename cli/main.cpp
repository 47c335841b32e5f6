// kolmo-cli: Kolmo's computations in batch form, without windows.
#include "commands.h"

#include "platform/dialogs.h"
#include "platform/files.h"

#include <iostream>

namespace kolmo::cli {

std::filesystem::path defaultDataDir()
{
    const auto folder = platform::executableFolder();
    return (folder.empty() ? std::filesystem::current_path() : folder) / "data";
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

    // A report too large for the file-size limit fails as a write, with its
    // message, instead of ending the program half-way.
    kolmo::platform::ignoreFileSizeSignal();
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
