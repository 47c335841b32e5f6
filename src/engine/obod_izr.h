// obod_izr: outline of the transformation area and its area.
//
// Input A: one row per point, plane coordinates in metres.  The callers put the
// easting (y, coordinate 2) in column 1 and the northing (x, coordinate 1) in
// column 2, so that atan2(d column 1, d column 2) is the geodetic direction
// angle (azimuth, from the x axis towards the y axis).
//
// The outline is found by gift wrapping (Jarvis march) on direction angles:
// start at the first row with the smallest column-1 value (the westernmost
// point), take as first edge the smallest direction angle, then at every vertex
// the point whose direction turns least beyond the direction of the previous
// edge.  Ties go to the lowest row index; a point lying exactly in the
// direction of the previous edge is not taken, so collinear points on an edge
// are skipped unless they come first in the row order.
//
// Result `obodne`: the vertices in the order of travel, same column layout as
// A, closed (the last row repeats the first).  `pov`: the enclosed area in m^2
// by the trapezoid formula, positive for this direction of travel.
//
// Degenerate input (no rows, one distinct point, all points on one line, or
// an outline whose area is below 1e-12 of its squared extent) has no proper
// polygon: `obodne` is then the closed segment between the start point
// and the point farthest from it (or the start point twice, or 0 x 2 for no
// rows) and `pov` is 0.  The march is bounded by the number of rows and stops
// when no candidate remains or a vertex would repeat, so it always ends.
// Nothing is thrown; non-finite coordinates merely end the search early.
#pragma once

#include "platform/pointset.h"

namespace kolmo {

struct Obod {
    Mat obodne;     // closed outline, one vertex per row (column layout of A)
    double pov = 0; // enclosed area, m^2
};

Obod obod_izr(const Mat& A);

} // namespace kolmo
