// interg: geoid height N (m) above GRS-80 at D96 latitude fi and longitude la
// (decimal degrees) for the height system `geoid` (1 "SVS2010 (Koper)",
// model SLO-VRP2016/Koper from HREF_SVS2010.mat; any other value "SVS2000
// (Trst)", the points of AMG_2000_gd.mat, which carry VRP2016 plus the
// official SLO-VTP2024 offset between the two systems: data/README.md).  The
// model files are read from the program folder `pot_prg`.  Throws
// DataFileError when a model cannot be loaded.
//
// VRP2016 is interpolated with the not-a-knot bicubic spline of its grid and
// gives NaN outside the grid (13..17 E, 45..46.99992 N); SVS2000 with the
// Clough-Tocher interpolant of its points, NaN outside their convex hull.
// Each model is loaded once per program folder and kept for the life of the
// process (the files are data that ship with the program); the process's
// current folder is never changed.
#pragma once

#include "geodesy/cloughtocher.h"
#include "geodesy/gridspline.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kolmo {

double interg(double fi, double la, int geoid, const std::filesystem::path& pot_prg);

// The warning of a computation whose points in part lie outside the geoid
// model: their heights are NaN.  `names` (Windows-1250) are those points.
void warnOutsideGeoidModel(const std::vector<std::string>& names, int geoid);

// VRP2016 heights interpolated linearly on the grid (interp2 'linear'), NaN
// outside the grid: the border line over the model plot.
double intergLinear(double fi, double la, const std::filesystem::path& pot_prg);

// The VRP2016 grid axes: longitudes 13 + 0.0125 (j - 1), j = 1..321 (west to
// east), and latitudes 46.99992 - 0.008333 (k - 1), k = 1..241 (north to
// south).  The latitude step is the rounded 0.008333, not 1/120.
inline constexpr int kVrpRows = 241;
inline constexpr int kVrpCols = 321;
double vrp2016Longitude(int j);
double vrp2016Latitude(int k);

// The loaded models (cached per folder).  Throw DataFileError.
std::shared_ptr<const GridSpline> vrp2016Model(const std::filesystem::path& pot_prg);
std::shared_ptr<const CloughTocher2D> amg2000Model(const std::filesystem::path& pot_prg);

// Builds the models from their files without the cache.
std::shared_ptr<const GridSpline> loadVrp2016(const std::filesystem::path& file);
std::shared_ptr<const CloughTocher2D> loadAmg2000(const std::filesystem::path& file);

// Forgets the cached models (tests; a user who replaces the model files).
void clearGeoidModelCache();

} // namespace kolmo
