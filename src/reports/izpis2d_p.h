// Report of a plane transformation with estimated parameters: input points,
// common points, transformed points, the comparison of the common points,
// parameters, corrected coordinates, accuracy, outline area and statistics.
#pragma once

#include "engine/records.h"
#include "plots/prik.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be
// written and kolmo::Error when the inputs do not fit together.
void izpis2d_p(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, int nPar, const TTr& t_tr, const Vec& PAR,
               const Par2dResult& est, const Prik& prik, int redXY);

} // namespace kolmo
