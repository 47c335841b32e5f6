// Fixtures of the plot tests: plot records made by hand and by a whole
// computation, and the readers of the exported files.
#pragma once

#include "app/appstate.h"
#include "plots/prik.h"
#include "support/paths.h"
#include "support/run.h"

#include <filesystem>
#include <string>

namespace kolmo::test {

// A plot record of `n` transformed points spread over [x0, x1] (easting) and
// [y0, y1] (northing), the first `nc` of them common points; names P1, P2, ...
Prik syntheticPrik(int n, int nc, double x0, double x1, double y0, double y1, double D);

// AppState after the full spatial computation D48/GK -> D96/TM of the example
// network `net` ("local" or "country").
AppState computedState(const std::string& net);

// The program `name` on PATH; empty when it is not there.
std::filesystem::path tool(const std::string& name);

// A fresh empty folder under the system temp folder.
std::filesystem::path freshDir(const std::string& name);

} // namespace kolmo::test
