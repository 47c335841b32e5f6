// Report of a plane transformation with given parameters: start points,
// transformed points (labelled by the target type vhv.tip) and the parameters.
#pragma once

#include "engine/records.h"
#include "reports/izpis2d_deli.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be written.
void izpis2d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, int nPar, const Vec& PAR, int redXY);

// The same report with the transformed points computed while it is written.
void izpis2d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const izpis::Vrstica2d& vrstica, int nPar, const Vec& PAR, int redXY);

} // namespace kolmo
