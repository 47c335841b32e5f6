// prik_obod: the location plot "Lega mreže točk": the outline of the
// transformation area inside the national border, on axes that cover the
// whole country.
//
// The border `meja` (one row per vertex, column 1 easting, column 2 northing,
// D96/TM metres, from meja_rs.mat) is drawn as a black line and the outline
// of `prik` over it.  Ticks every 20 km from 360 to 640 km (easting) and 20
// to 200 km (northing), labelled in kilometres; plot box 1 : 180/280, the
// ratio of the tick spans.  The limits are the tick span, widened where the
// data reach beyond it (to the next multiple of 20 km) and then on the
// shorter axis so that a metre is equally long on both axes; the national
// border lies inside the tick span.  Labels "y(E)",
// "x(N)", title "Lega mreze na prikazu z mejo RS"; window "Kolmo - Lega mreže
// točk" with the menus "Natisni" and "Izvozi" (files obod_rs.*).
//
// Throws kolmo::Error when `prik` is empty or incomplete, and when `meja`
// does not have two columns.
#pragma once

#include "plots/figure.h"
#include "plots/prik.h"

#include <filesystem>

namespace kolmo {

plot::Figure prik_obod(const Prik& prik, const Mat& meja);

// The border polygon `meja` of meja_rs.mat in the program folder `pot_prg`.
// Throws DataFileError when the file or the variable is missing or it does
// not have two columns.
Mat loadMeja(const std::filesystem::path& pot_prg);

} // namespace kolmo
