// No program of the project loads a library from the folder it is started in.
// Fault pinned down: kolmo-cli's RUNPATH was "/usr/lib/x86_64-linux-gnu/hdf5/
// serial/lib:", whose empty entry is the current folder, so a file named like
// one of its libraries there was loaded and run.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace fs = std::filesystem;
using namespace kolmo::test;

TEST(LibrarySearchPath, NothingIsLoadedFromTheWorkingFolder)
{
    const fs::path readelf = "/usr/bin/readelf";
    if (!fs::exists(readelf))
        GTEST_SKIP() << "readelf is not installed";

    // No binary of the build has an empty or relative search folder.
    const std::regex searchPath(R"(\((RUNPATH|RPATH)\)[^\[]*\[([^\]]*)\])");
    for (const auto& entry : fs::directory_iterator(KOLMO_BINARY_DIR)) {
        char magic[4] = {};
        std::ifstream(entry.path(), std::ios::binary).read(magic, 4);
        if (!entry.is_regular_file() || std::string(magic, 4) != "\x7f" "ELF")
            continue;
        const std::string dynamic = run(readelf, {"-d", entry.path().string()}).out;
        for (std::sregex_iterator m(dynamic.begin(), dynamic.end(), searchPath), end; m != end; ++m)
            for (std::string rest = (*m)[2].str() + ":"; !rest.empty(); rest.erase(0, rest.find(':') + 1)) {
                const std::string folder = rest.substr(0, rest.find(':'));
                EXPECT_TRUE(folder.rfind('/', 0) == 0 || folder.rfind("$ORIGIN", 0) == 0)
                    << entry.path().filename() << " searches \"" << folder << "\" in [" << (*m)[2] << "]";
            }
    }

    // A stand-in for one of kolmo-cli's libraries, planted in the working folder.
    const std::string needed = run(readelf, {"-d", cliPath().string()}).out;
    std::string victim;
    for (const char* name : {"libqhullcpp.so.8.0", "libqhull_r.so.8.0", "libmatio.so.11"})
        if (victim.empty() && needed.find(std::string("[") + name + "]") != std::string::npos)
            victim = name;
    ASSERT_FALSE(victim.empty()) << needed;
    const fs::path work = freshFolder("planted");
    fs::copy_file(KOLMO_PLANTED_LIBRARY, work / victim);
    const fs::path marker = work / "planted-library-was-loaded";

    // It does run when the folder is searched (an empty LD_LIBRARY_PATH entry).
    run(cliPath(), {"--help"}, work, RunOptions{.environment = {"LD_LIBRARY_PATH=:"}});
    ASSERT_TRUE(fs::exists(marker)) << "the planted library cannot show a load";
    fs::remove(marker);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"geoid", "46.05", "15.2"}}) {
        run(cliPath(), args, work);
        EXPECT_FALSE(fs::exists(marker)) << "kolmo-cli " << args.front() << " loaded " << victim << " from its working folder";
    }
    fs::remove_all(work);
}
