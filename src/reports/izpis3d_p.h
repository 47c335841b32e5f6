// Report of a spatial transformation with estimated parameters: input points,
// common points, transformed points, comparisons with the gross-error test,
// corrected coordinates, parameters, accuracy, outline area and statistics.
#pragma once

#include "engine/records.h"
#include "plots/prik.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be
// written and kolmo::Error when the inputs do not fit together.
void izpis3d_p(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, const TTr& t_tr, const Vec& PAR, const Par3dResult& est,
               const Prik& prik, int redXY);

} // namespace kolmo
