// Shared by the tests of Kolmo in a pipeline: kolmo-cli runs in the examples
// folder with the program's data files, and the last table of points of a
// report read back as numbers.
#pragma once

#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kolmo::test {

// One point of a table: the name and its values in Kolmo's order (x, y or
// latitude, longitude in decimal degrees; then the height where the table has
// one), and the decimals the report printed them with.
struct TablePoint {
    std::string name;
    std::vector<double> values;
    std::vector<double> tolerance; // half a unit of each value's last printed decimal, in its unit
};

struct Table {
    std::vector<TablePoint> points;
};

// The last table of points of a report ("TRANSFORMIRANE KOORDINATE TOČK ..."):
// the corrected coordinates where the report has them, otherwise the
// transformed ones.  `yx`: the report prints plane coordinates y first;
// `heights`: the rows carry a height.
Table lastTable(const std::string& report, bool yx, bool heights);

// Folder with a copy of the data files; removed with the fixture.
struct Pipeline : ::testing::Test {
    std::filesystem::path dir = freshFolder("pipeline");
    void TearDown() override { std::filesystem::remove_all(dir); }

    // kolmo-cli with `args`, in the examples folder, with the build's data files.
    RunResult cli(std::vector<std::string> args, const std::string& input = {}) const;
    std::string path(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& text) const;
};

} // namespace kolmo::test
