// Reads the plane example point files (name, x, y[, sd x, sd y]) into the
// form the plane computation prepares: four columns, unit standard deviations
// where the file gives none.
#pragma once

#include "platform/pointset.h"
#include "support/paths.h"

#include <fstream>
#include <sstream>
#include <string>

namespace kolmo::test {

inline PointSet readPlanePoints(const std::string& relativePath)
{
    std::ifstream in(examplesDir() / relativePath);
    PointSet p;
    std::vector<Eigen::Vector4d> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string name;
        if (!(ss >> name))
            continue;
        Eigen::Vector4d r = Eigen::Vector4d::Ones();
        for (int c = 0; c < 4 && ss >> r(c); ++c) {
        }
        p.ime.push_back(name);
        rows.push_back(r);
    }
    p.koo.resize(static_cast<Eigen::Index>(rows.size()), 4);
    for (std::size_t i = 0; i < rows.size(); ++i)
        p.koo.row(static_cast<Eigen::Index>(i)) = rows[i].transpose();
    return p;
}

} // namespace kolmo::test
