// kolmo-cli: Kolmo's computations in batch form, without windows.
#include "commands.h"

#include "platform/cp1250.h"
#include "platform/datadir.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <iostream>

namespace kolmo::cli {

std::filesystem::path defaultDataDir()
{
    return platform::programDataDir();
}

std::string pointWhere(const std::string& source, const PointSet& p, const ReadNotes& notes, Eigen::Index row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= notes.lines.size() || static_cast<std::size_t>(row) >= p.ime.size())
        return source;
    return source + ", line " + std::to_string(notes.lines[static_cast<std::size_t>(row)]) + " (point " +
           platform::fromCp1250(p.ime[static_cast<std::size_t>(row)]) + ")";
}

namespace {

// The first word of the command line that names no command where one is
// required ("kolmo-cli transfrom ..."), or nullptr.
const char* unknownCommand(CLI::App& app, int argc, char** argv)
{
    CLI::App* current = &app;
    for (int k = 1; k < argc; ++k) {
        const auto subcommands = current->get_subcommands([](CLI::App*) { return true; });
        if (subcommands.empty() || argv[k][0] == '-')
            return nullptr;
        CLI::App* next = nullptr;
        for (CLI::App* sub : subcommands)
            if (sub->check_name(argv[k]))
                next = sub;
        if (!next)
            return argv[k];
        current = next;
    }
    return nullptr;
}

} // namespace

} // namespace kolmo::cli

int main(int argc, char** argv)
{
    CLI::App app{"Kolmo v3.00 - coordinate transformations between D48 and D96 (batch form)", "kolmo-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "Kolmo v3.00");
    app.footer(kolmo::cli::kExitStatusHelp);
    int status = 0;
    kolmo::cli::addConvertCommand(app, status);
    kolmo::cli::addGeoidCommand(app, status);
    kolmo::cli::addTransformCommand(app, status);
    kolmo::cli::addParamsCommand(app, status);
    kolmo::cli::addMigrateCommand(app, status);
    if (const char* word = kolmo::cli::unknownCommand(app, argc, argv)) {
        std::cerr << "kolmo-cli: unknown command '" << word << "'\nRun with --help for the commands.\n";
        return 2;
    }

    // A report too large for the file-size limit fails as a write, with its
    // message, instead of ending the program half-way.
    kolmo::platform::ignoreFileSizeSignal();
    // An interrupted run (Ctrl+C, a closed terminal, kill, a closed pipe on
    // the standard output) removes its temporary files on the way out.
    kolmo::platform::removeTemporariesOnSignals();
    kolmo::platform::StderrDialogs dialogs;
    kolmo::platform::ScopedDialogs scoped(dialogs);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    // What went to the standard output must have arrived there (a full disk
    // or a closed pipe behind "> file" is a failed run, not an empty result).
    try {
        kolmo::platform::closeStandardOutput();
    } catch (const kolmo::FileError& e) {
        dialogs.errorBox("Napaka v zapisu datoteke!", "Napaka", e.what());
    }
    // Whenever an error box was shown the run failed, even where the
    // computation went on and wrote its report (a point outside the zone in a
    // conversion); warnings leave a result that deserves a look.
    if (status != 2) {
        if (dialogs.errors > 0)
            status = 1;
        else if (status == 0 && dialogs.warnings > 0)
            status = 3;
    }
    return status;
}
