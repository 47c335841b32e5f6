// Plot record of a full computation: interpolated residual corrections at every
// transformed point, the network geometry for the plots, the tick spacing and
// the outline of the transformation area.
#pragma once

#include "platform/pointset.h"

#include <vector>

namespace kolmo {

struct Prik {
    Vec vx, vy;      // corrections in coordinate 1 and 2 at each transformed point (m)
    Vec XI, YI;      // coordinate 2 and coordinate 1 of the common points
    Vec Tx, Ty;      // coordinate 2 and coordinate 1 of all transformed points
    double D = 0;    // tick spacing (m)
    Names tocke;     // common point names
    Names vset;      // transformed point names
    Mat obod;        // outline polygon, column 1 coordinate 2, column 2 coordinate 1
    double pov = 0;  // area enclosed by the outline (m^2)

    // For the residual plot, by the position of the common point in `tocke`:
    Vec dx, dy;               // residuals given minus transformed, coordinate 1 and 2 (m)
    std::vector<bool> grobi;  // a coordinate of the point is flagged as a gross error
                              // (empty: the estimation gave no test)
};

} // namespace kolmo
