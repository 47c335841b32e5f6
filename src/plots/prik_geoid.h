// The geoid tool's surface plots ("PrikaziT", "PrikaziK"): the geoid models as
// wire-frame surfaces over longitude (x, degrees east) and latitude (y,
// degrees north), height in metres upwards.
//
// prik_amg2000: `geoid` is the AMG2000 plot grid of geoid.mat, 106 rows of
// latitude 45.25 + (k - 1)/60 by 141 columns of longitude 13.25 + 0.025 (j - 1);
// 0 marks cells without data.  The surface is geoid - 44 where geoid is not
// 0 and 0 elsewhere; no border.  Window "Kolmo - Prikaz modela geoida
// AMG2000".
//
// prik_vrp2016: `geoid` is the VRP2016 grid of HREF_SVS2010.mat, 241 rows of
// latitude (north to south) by 321 columns of longitude (see
// geodesy/interg.h).  The national border `meja` (easting, northing in D96/TM
// metres) is taken to latitude and longitude (tmelip) and lifted onto the
// surface by bilinear interpolation of the grid, then drawn as a black line
// over it; a vertex outside the grid gets no height and breaks the line.
// Window "Kolmo - Prikaz modela geoida VRP2016".
//
// Both windows have no menus of their own; the view is from the south-west
// (azimuth -37.5 degrees, elevation 30 degrees) and the plot box keeps the
// proportions of the ground at 46 degrees north, with the heights stretched
// to 40 % of the longer side.  Each has a title naming the model, the axes
// labelled with their units (degrees; metres upwards) and a colour scale of
// the heights beside the box.
//
// Throw kolmo::Error when a grid has another size; prikaziT / prikaziK load the
// files from the program folder and throw DataFileError when one is missing.
#pragma once

#include "plots/figure.h"

#include <filesystem>

namespace kolmo {

plot::Figure prik_amg2000(const Mat& geoid);
plot::Figure prik_vrp2016(const Mat& geoid, const Mat& meja);

// From the files geoid.mat, HREF_SVS2010.mat and meja_rs.mat in `pot_prg`.
plot::Figure prikaziT(const std::filesystem::path& pot_prg);
plot::Figure prikaziK(const std::filesystem::path& pot_prg);

} // namespace kolmo
