// Report of a spatial transformation with given parameters: start points,
// transformed points and the parameters used.
#pragma once

#include "engine/records.h"
#include "reports/izpis3d_deli.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`.  Throws FileError when the file cannot be written.
void izpis3d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, const Rez& rez,
               const TTr& t_tr, const Vec& PAR, int redXY);

// The same report with the transformed points computed while it is written:
// `vrstica` gives the row of start point i (see izpis::transformirane3d) of
// output type `rezTip`.
void izpis3d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, int rezTip,
               const izpis::Vrstica3d& vrstica, const TTr& t_tr, const Vec& PAR, int redXY);

} // namespace kolmo
