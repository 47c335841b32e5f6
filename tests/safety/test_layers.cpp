// The layers read straight from the folders: nothing under src/ includes a Qt
// header (the core and kolmo-cli build without Qt), and platform/, the bottom
// layer, includes only itself.  Fault pinned down: the Qt renderer lived in
// src/platform/qt and reached up into plots/.
#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

// Every #include line of every source file under `folder`, as "file: line".
std::vector<std::string> includes(const fs::path& folder, const std::regex& bad)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const auto ext = entry.path().extension();
        if (ext != ".cpp" && ext != ".h") continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
            if (line.rfind("#include", 0) == 0 && std::regex_search(line, bad))
                found.push_back(entry.path().string() + ": " + line);
    }
    return found;
}

} // namespace

TEST(Layers, NoQtUnderSrcAndPlatformIncludesNothingAbove)
{
    const fs::path src = fs::path(KOLMO_SOURCE_DIR) / "src";
    EXPECT_EQ(includes(src, std::regex(R"(<Q[A-Za-z]*>|<Qt[A-Za-z]*/)")), std::vector<std::string>{});
    EXPECT_EQ(includes(src / "platform", std::regex(R"(#include\s+"(?!platform/))")), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(src / "platform" / "qt"));
}
