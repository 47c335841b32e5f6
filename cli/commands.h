// kolmo-cli subcommands.  Each adds itself to the application and returns the
// exit status through `status` when it runs: 0 success, 1 when the program
// would show an error box (the message went to stderr as "<title>: <message>"),
// 2 for a usage error.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>

namespace kolmo::cli {

// Program folder with the data files: <folder of kolmo-cli>/data.
std::filesystem::path defaultDataDir();

void addConvertCommand(CLI::App& app, int& status);
void addGeoidCommand(CLI::App& app, int& status);
void addTransformCommand(CLI::App& app, int& status);
void addParamsCommand(CLI::App& app, int& status);

} // namespace kolmo::cli
