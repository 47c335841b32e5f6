// Report of a spatial parameter estimation only: input points, common points,
// parameters and accuracy.
#pragma once

#include "engine/records.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r` (est supplies m0, iter and the common points).
// Throws FileError when the file cannot be written.
void izpis3d_b(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const TTr& t_tr, const Vec& PAR, const Par3dResult& est);

} // namespace kolmo
