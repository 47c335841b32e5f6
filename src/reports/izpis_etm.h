// Report of the conversion D96/fi_la -> D96/TM.
#pragma once

#include "engine/records.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`: the input points in degrees, minutes and
// seconds and the plane points with H and the geoid height N (n before e when
// `redXY` is 1).  Throws FileError when the file cannot be written.
void izpis_etm(const std::filesystem::path& dat_r, const PointSet& vhi, const Rez& rez, int redXY, int geoid);

} // namespace kolmo
