// Paths of the repository's fixtures for the tests.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace kolmo::test {

inline std::filesystem::path sourceDir() { return KOLMO_SOURCE_DIR; }
inline std::filesystem::path examplesDir() { return sourceDir() / "examples"; }
// The program folder of the build: data files copied beside the binaries.
inline std::filesystem::path dataDir() { return std::filesystem::path(KOLMO_BINARY_DIR) / "data"; }
// kolmo-cli of this build, or the program named by KOLMO_CLI_UNDER_TEST (to
// run the command-line tests against another build of it).
inline std::filesystem::path cliPath()
{
    const char* other = std::getenv("KOLMO_CLI_UNDER_TEST");
    return other && *other ? std::filesystem::path(other) : std::filesystem::path(KOLMO_CLI);
}

} // namespace kolmo::test
