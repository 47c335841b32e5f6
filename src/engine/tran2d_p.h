// tran2d_p: applies the plane four- or six-parameter transformation.
//
// For each row of vhi.koo (x, y in metres; further columns ignored):
//   nPar 4, PAR = (a, b, c, d):             x' = a x - b y + c,   y' = b x + a y + d
//   nPar 6, PAR = (a1, a2, a3, b1, b2, b3): x' = a1 x + a2 y + a3, y' = b1 x + b2 y + b3
// Returns a new record with `koo` only: one row per start point, x', y'.
//
// Throws ComputationError for an nPar other than 4 or 6, a PAR shorter than
// nPar, or a vhi.koo with fewer than two columns.
#pragma once

#include "engine/records.h"
#include "platform/pointset.h"

namespace kolmo {

Rez tran2d_p(const PointSet& vhi, const Vec& PAR, int nPar);

// The same formulas for one point (nPar and PAR as checked by tran2d_p).
inline void tran2d_tocka(const Vec& PAR, int nPar, double x, double y, double& xt, double& yt)
{
    if (nPar == 4) {
        xt = PAR(0) * x - PAR(1) * y + PAR(2);
        yt = PAR(1) * x + PAR(0) * y + PAR(3);
    } else {
        xt = PAR(0) * x + PAR(1) * y + PAR(2);
        yt = PAR(3) * x + PAR(4) * y + PAR(5);
    }
}

} // namespace kolmo
