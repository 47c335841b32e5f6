// prik_mre: the network plot "Mreža točk" of a full computation.
//
// Transformed points as green triangles and common points as blue circles,
// the outline of the transformation area, and every transformed point's name
// centred under it (D/20 below the point).  The axes follow the network:
// limits one tick spacing D beyond the points, ticks on multiples of D, one
// metre equally long on both axes, the easting in kilometres when the
// network is more than 100 km wide.  Title "Mreza tock"; legend "transf.
// tocke", "vezne tocke" where it covers the fewest points.  The window is
// "Kolmo - Mreža točk" with the menus "Natisni" and "Izvozi" (files mreza.*).
//
// Throws kolmo::Error when `prik` is empty or incomplete (the caller shows
// "Ne morem prikazati mreze tock!").
#pragma once

#include "plots/figure.h"
#include "plots/prik.h"

namespace kolmo {

plot::Figure prik_mre(const Prik& prik);

} // namespace kolmo
