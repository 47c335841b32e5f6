// Report of a plane transformation with given parameters: start points,
// transformed points (labelled by the target type vhv.tip) and the parameters.
#pragma once

#include "engine/records.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be written.
void izpis2d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, int nPar, const Vec& PAR, int redXY);

} // namespace kolmo
