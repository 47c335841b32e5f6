// Paths of the repository's fixtures for the tests.
#pragma once

#include <filesystem>

namespace kolmo::test {

inline std::filesystem::path sourceDir() { return KOLMO_SOURCE_DIR; }
inline std::filesystem::path examplesDir() { return sourceDir() / "examples"; }
// The program folder of the build: data files copied beside the binaries.
inline std::filesystem::path dataDir() { return std::filesystem::path(KOLMO_BINARY_DIR) / "data"; }
inline std::filesystem::path cliPath() { return KOLMO_CLI; }

} // namespace kolmo::test
