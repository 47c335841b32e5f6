// Fixtures of the geoid tests: the reference data files and reference values.
#pragma once

#include "support/paths.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kolmo::test {

inline std::filesystem::path geoidFixtures() { return sourceDir() / "tests/fixtures/geoid"; }

// Rows of numbers of a CSV file with a header line ("nan" read as NaN).
inline std::vector<std::vector<double>> readCsv(const std::filesystem::path& file, bool header = true)
{
    std::ifstream in(file);
    std::vector<std::vector<double>> rows;
    std::string line;
    if (header)
        std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<double> row;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ','))
            row.push_back(cell == "nan" ? NAN : std::stod(cell));
        rows.push_back(row);
    }
    return rows;
}

// A fresh empty folder under the system temp folder.
inline std::filesystem::path freshTempDir(const std::string& name)
{
    const auto dir = std::filesystem::temp_directory_path() / ("kolmo_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace kolmo::test
