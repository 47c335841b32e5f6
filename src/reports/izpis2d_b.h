// Report of a plane parameter estimation only: input points, common points,
// parameters and accuracy.
#pragma once

#include "engine/records.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be written.
void izpis2d_b(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, int nPar, const TTr& t_tr, const Vec& PAR, const Par2dResult& est);

} // namespace kolmo
