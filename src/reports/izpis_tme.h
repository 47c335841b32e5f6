// Report of the conversion D96/TM -> D96/fi_la.
#pragma once

#include "engine/records.h"

#include <filesystem>

namespace kolmo {

// Writes the report to `dat_r`: the input plane points and the converted
// points in decimal degrees with h and the geoid height N.  Throws FileError
// when the file cannot be written.
void izpis_tme(const std::filesystem::path& dat_r, const PointSet& vhi, const Rez& rez, int geoid);

} // namespace kolmo
