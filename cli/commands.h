// kolmo-cli subcommands.  Each adds itself to the application and returns the
// exit status through `status` when it runs: 0 success, 1 when the program
// would show an error box (the message went to stderr as "<title>: <message>"),
// 2 for a usage error.  main() makes it 1 whenever an error box was shown and
// 3 when the run succeeded with warnings (see kExitStatusHelp).
#pragma once

#include "input/prebsi.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>

namespace kolmo::cli {

// The exit statuses, for every --help.
inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 done; 1 error (\"<title>: <message>\" on stderr, the cause on the next line); "
    "2 usage error; 3 done with warnings (\"Opozorilo: ...\" on stderr: heights outside the geoid model, "
    "coordinates flagged as gross errors, common points failing Baarda's test, left out by --snoop or "
    "down-weighted by --robust, no test possible or a low redundancy, parameters more than a metre from the "
    "national model, rows shorter than the widest row, a file without heights; in migrate, "
    "points outside the transformation model or farther than 10 km from the national border, heights outside "
    "the SVS2000/SVS2010 offset grid).";

// Refuses an empty value of a file or folder option (a usage error): `--out ""`
// from a script whose variable was unset would otherwise write nothing and
// succeed.
inline const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? std::string("an empty name is no file or folder") : std::string(); },
    "");

// Program folder with the data files: data/ beside kolmo-cli, or in an
// installed tree the user's folder over <prefix>/share/kolmo (platform/datadir.h).
std::filesystem::path defaultDataDir();

// "start file a.pod, line 7 (point T5)" for messages about row `row` (from 0)
// of a point file read with `notes`; just `source` for row -1.
std::string pointWhere(const std::string& source, const PointSet& p, const ReadNotes& notes, Eigen::Index row);

void addConvertCommand(CLI::App& app, int& status);
void addGeoidCommand(CLI::App& app, int& status);
void addTransformCommand(CLI::App& app, int& status);
void addParamsCommand(CLI::App& app, int& status);
void addMigrateCommand(CLI::App& app, int& status);

} // namespace kolmo::cli
