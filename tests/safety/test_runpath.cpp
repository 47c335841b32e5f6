// No program of the project loads a library from the folder it is started in.
//
// An empty entry in a binary's RUNPATH (or RPATH), or a relative one, makes
// the dynamic loader look for libraries in the current folder: anybody who can
// put a file into a folder where a surveyor runs kolmo-cli could have their
// code run by it.  Found once as "/usr/lib/x86_64-linux-gnu/hdf5/serial/lib:"
// in kolmo-cli.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

const fs::path kReadelf = "/usr/bin/readelf";

// The values of the dynamic-section entries of kind `tag` ("NEEDED",
// "RUNPATH", "RPATH"), the text between the brackets of readelf's lines.
std::vector<std::string> dynamicEntries(const fs::path& binary, const std::string& tag)
{
    const auto r = run(kReadelf, {"-d", binary.string()});
    std::vector<std::string> out;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("(" + tag + ")") == std::string::npos)
            continue;
        const auto a = line.find('['), b = line.rfind(']');
        if (a != std::string::npos && b != std::string::npos && b > a)
            out.push_back(line.substr(a + 1, b - a - 1));
    }
    return out;
}

// Libraries named in the binary's symbol version requirements: a stand-in
// without those versions would be refused before its code ran.
std::set<std::string> versionedLibraries(const fs::path& binary)
{
    const auto r = run(kReadelf, {"-V", binary.string()});
    std::set<std::string> out;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto k = line.find("File: ");
        if (k == std::string::npos)
            continue;
        std::istringstream rest(line.substr(k + 6));
        std::string name;
        rest >> name;
        out.insert(name);
    }
    return out;
}

// The folders of a search path, empty ones included ("a::b" and "a:" hold one).
std::vector<std::string> searchFolders(const std::string& value)
{
    std::vector<std::string> folders;
    for (std::size_t start = 0;;) {
        const auto colon = value.find(':', start);
        folders.push_back(value.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            return folders;
        start = colon + 1;
    }
}

bool isElf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

} // namespace

TEST(LibrarySearchPath, NoBinaryOfTheBuildSearchesAnEmptyOrRelativeFolder)
{
    if (!fs::exists(kReadelf))
        GTEST_SKIP() << "readelf is not installed";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(KOLMO_BINARY_DIR)) {
        if (!entry.is_regular_file() || !isElf(entry.path()))
            continue;
        ++checked;
        for (const std::string tag : {"RUNPATH", "RPATH"})
            for (const auto& value : dynamicEntries(entry.path(), tag))
                for (const auto& folder : searchFolders(value))
                    EXPECT_TRUE(folder.rfind('/', 0) == 0 || folder.rfind("$ORIGIN", 0) == 0)
                        << entry.path().filename() << " " << tag << " [" << value << "] has the entry \"" << folder
                        << "\", searched relative to the current folder";
    }
    EXPECT_GE(checked, 3) << "kolmo-cli and the test programs at least";
}

TEST(LibrarySearchPath, LibraryPlantedInTheWorkingFolderIsNotLoaded)
{
    if (!fs::exists(kReadelf))
        GTEST_SKIP() << "readelf is not installed";
    // A library kolmo-cli needs, chosen among those without symbol versions.
    const auto versioned = versionedLibraries(cliPath());
    std::string victim;
    for (const auto& name : dynamicEntries(cliPath(), "NEEDED"))
        if (!versioned.count(name) && name.rfind("libasan", 0) != 0 && name.rfind("libubsan", 0) != 0) {
            victim = name;
            break;
        }
    ASSERT_FALSE(victim.empty()) << "no library of kolmo-cli to stand in for";

    const fs::path work = freshFolder("planted");
    fs::copy_file(KOLMO_PLANTED_LIBRARY, work / victim);
    const fs::path marker = work / "planted-library-was-loaded";

    // The stand-in does run when a program is told to search the folder (an
    // empty entry in LD_LIBRARY_PATH): the test can see a load.
    run(cliPath(), {"--help"}, work, RunOptions{.environment = {"LD_LIBRARY_PATH=:"}});
    ASSERT_TRUE(fs::exists(marker)) << "the planted " << victim << " was not loaded even when asked for";
    fs::remove(marker);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"params", "list", "--npar", "7", "--direction", "2"},
          {"geoid", "46.05", "15.2"}}) {
        const auto r = run(cliPath(), args, work);
        EXPECT_FALSE(fs::exists(marker)) << "kolmo-cli " << args.front() << " loaded " << victim
                                         << " from its working folder";
        EXPECT_NE(r.status, -1) << r.err;
    }
    fs::remove_all(work);
}
