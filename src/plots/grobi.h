// Gross-error flags of the common points, for the residual plot.
//
// Spatial estimation (par3d_7): a common point is flagged when any of its
// three coordinates has a standardised difference v_st above 3.29 or a tau
// ratio above 1 -- the same test the report and kolmo-cli apply.
//
// Plane estimation (par2d_p): the estimation returns only the parameters, the
// common points with their standard deviations and m0, so the test is built
// from those.  For common point i the misclosure of each coordinate,
// f = given - transformed, is divided by its standard deviation
//
//   s_f = m0 * sqrt(s_Y^2 + p1^2 s_X1^2 + p2^2 s_X2^2),
//
// where s_Y is the end-datum standard deviation of that coordinate, s_X1 and
// s_X2 those of the start coordinates, and p1, p2 the model's coefficients of
// the start coordinates in that row (a, -b / b, a for four parameters; a1, a2
// / b1, b2 for six).  The point is flagged when |f| / s_f > 3.29 for either
// coordinate, the critical value of the spatial test.  s_f leaves out the
// share of the misclosure that the estimate absorbs (the redundancy numbers
// are below 1), so the ratio is smaller than a fully standardised residual and
// the test flags no more than that one would: a conservative screen, not a
// statistical test at a stated level.  Without redundancy (m0 not finite or
// 0) nothing is flagged.
#pragma once

#include "engine/par3d_7.h"
#include "engine/records.h"

#include <vector>

namespace kolmo {

// One flag per common point, in the order of est.vezne.ime.
std::vector<bool> grobi3d(const Par3dResult& est);
std::vector<bool> grobi2d(const Par2dResult& est, int npar);

} // namespace kolmo
