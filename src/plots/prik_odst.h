// prik_odst: the residual plot "Odstopanja veznih točk" of a full computation.
//
// Every common point at its given end-datum position with its residual vector
// (given minus transformed, the horizontal components: northing dx upwards,
// easting dy to the right), its name beside it, and the outline of the
// transformation area.  A point whose estimation flagged a coordinate as a
// gross error (Prik::grobi) is drawn in red, with its vector and its name.
//
// The vectors are drawn enlarged: the longest is 15 % of the wider side of the
// axes.  One scale bar tells the enlargement: a bar of the round length (1, 2
// or 5 times a power of ten millimetres) at or below the longest residual,
// labelled in millimetres.  The axes follow the common points and the tips of
// their vectors as the network plot follows all points (limits, ticks on
// multiples of the tick spacing of the common points' extent, one metre
// equally long on both axes, kilometres above 100 km).  Window "Kolmo - Odstopanja veznih točk" with the menus
// "Natisni" and "Izvozi" (files odstopanja.*).
//
// Throws kolmo::Error when `prik` has no common points or its residual fields
// do not match them.
#pragma once

#include "plots/figure.h"
#include "plots/prik.h"

namespace kolmo {

plot::Figure prik_odst(const Prik& prik);

// Length of the scale bar for the longest residual `vmax` (metres): the
// largest 1, 2 or 5 times a power of ten that does not exceed it, at least
// 0.1 mm; 1 mm when there is no residual.
double scaleBarLength(double vmax);

} // namespace kolmo
