// Running kolmo-cli from tests without a shell: arguments are passed as they are.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kolmo::test {

struct RunResult {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out, err;
    double seconds = 0; // wall-clock time of the run
    long maxRssKb = 0;  // peak resident memory of the child, kilobytes
};

// What the child process gets besides its arguments.
struct RunOptions {
    long long fileSizeLimit = -1;         // RLIMIT_FSIZE in bytes; -1 leaves it
    bool ignoreFileSizeSignal = false;    // SIGXFSZ ignored: an oversized write fails with EFBIG
    long long memoryLimit = -1;           // RLIMIT_AS in bytes; -1 leaves it
    int cpuSeconds = -1;                  // RLIMIT_CPU: a run that hangs is ended; -1 leaves it
    std::vector<std::string> environment = {}; // "NAME=value" set in the child's environment
    std::string input = {};               // the child's standard input (empty: /dev/null)
};

// Runs `program` with `args` in folder `cwd`, collecting stdout and stderr.
RunResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd = {});
RunResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd, const RunOptions& options);

// A fresh empty folder under the system temp folder, named after `name`, the
// process and a counter.
std::filesystem::path freshFolder(const std::string& name);

// Splits a command line at blanks; "double quotes" keep blanks inside a word.
std::vector<std::string> words(const std::string& line);

// Compares two report texts line by line, ignoring the authors and date lines
// (lines 3 and 4) and allowing a number to differ by one unit in its last
// printed decimal.  Returns an empty string when they agree, otherwise a
// readable list of the differing lines.
std::string compareReports(const std::string& expected, const std::string& actual);

std::string readText(const std::filesystem::path& file);

// kolmo-cli's stderr without the details lines (those indented by two blanks
// under a box's "<title>: <message>" line): the boxes as the user knows them.
std::string boxLines(const std::string& err);
// The details lines of kolmo-cli's stderr, each without its indent.
std::string detailLines(const std::string& err);

} // namespace kolmo::test
