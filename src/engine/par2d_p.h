// par2d_p: least-squares estimation of the plane four-parameter similarity or
// six-parameter affine transformation from common points.
//
// Models (start point x, y -> end point x', y'; metres, x the northing):
//
//   nPar 4, PAR = (a, b, c, d):          x' = a x - b y + c,   y' = b x + a y + d
//   nPar 6, PAR = (a1, a2, a3, b1, b2, b3): x' = a1 x + a2 y + a3, y' = b1 x + b2 y + b3
//
// For four parameters a = m cos(theta), b = m sin(theta) (scale m, rotation
// theta); they are estimated and returned in this linear form.  c, d, a3, b3
// are metres, the other parameters dimensionless.
//
// Inputs: vhi (start) and vhv (end), `koo` columns x, y, sd(x), sd(y) in
// metres; missing standard-deviation columns count as 1.  Common points are
// the pairs of equal names (exact, case-sensitive), in the order of vhi and,
// for a name that occurs more than once among the end points, in their order.
//
// Method: the condition-with-parameters (Gauss-Helmert) adjustment with both
// coordinate pairs of every common point as observations.  Per point i the
// two condition equations are linearised by the observations (A_i, 2 x 4) and
// by the parameters (B_i, 2 x nPar); f_i are the misclosures, given minus
// computed, and Q_i = diag(sx^2, sy^2, sx'^2, sy'^2).  Each iteration solves
//
//   N delta = t,   N = B^T (A Q A^T)^-1 B,   t = B^T (A Q A^T)^-1 f          (1)
//
// from the zero start, at most 30 corrections, until the largest |delta| is at
// most 1e-6.  A Q A^T is block-diagonal with one 2 x 2 block M_i = A_i Q_i A_i^T
// per point, so (1) is accumulated point by point,
//
//   N = sum_i B_i^T M_i^-1 B_i,   t = sum_i B_i^T M_i^-1 f_i,                 (2)
//
// which is the dense product term for term with the zero blocks left out: the
// cost is O(n) per iteration instead of O(n^3).  B is formed with the start
// coordinates relative to their centroid and the correction mapped back to
// the parameters above (same correction in exact arithmetic, see par2d_p.cpp):
// raw 100 km coordinates make N so ill-conditioned that rounding alone
// reaches the 1e-6 threshold.
//
// The first correction is the solution weighted by the end-point variances
// alone (A has zero start-coordinate columns at the zero start); later ones
// re-weight with the start-point variances carried through the parameters.
// With equal standard deviations M_i is the same matrix for every point and
// the second correction vanishes (to about 1e-10 m), so such a run ends after
// two iterations.
//
// Accuracy: with A, Q, f of the last iteration, the residuals are
// v = Q A^T (A Q A^T)^-1 f and m0 = sqrt(v^T Q^-1 v / (2n - nPar)) in metres
// (unit weights).  Per point v_i^T Q_i^-1 v_i = u_i^T Q_i u_i with
// u_i = A_i^T M_i^-1 f_i, which needs no inverse of Q (a zero start standard
// deviation is allowed).
//
// Throws ComputationError: nPar not 4 or 6; no common point; redundancy
// 2n - nPar <= 0; a singular 2 x 2 block (zero end standard deviations) or a
// singular normal matrix (coincident or, for six parameters, collinear common
// points); non-finite input.  No convergence within 30 corrections shows the
// error box "Iteracija ne konvergira!" titled "Napaka v izračunu parametrov"
// and then throws ComputationError.
#pragma once

#include "engine/records.h"
#include "platform/pointset.h"

namespace kolmo {

Par2dResult par2d_p(const PointSet& vhi, const PointSet& vhv, int nPar);

// Common points of vhi and vhv by name: vezne.i, vezne.v the full rows of
// vhi.koo and vhv.koo, vezne.ime the names; the order of vhi, and for a name
// repeated among the end points, every pair in the order of vhv.
Vezne commonPoints2d(const PointSet& vhi, const PointSet& vhv);

} // namespace kolmo
