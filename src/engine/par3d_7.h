// par3d_7: seven-parameter spatial similarity between two datums, estimated by
// least squares from the common points.
//
// Model y = d + s R x for every common point (x start, y end, Cartesian), with
// R = R3(gama) R2(beta) R1(alfa) as in tran3d.h.  Both x and y are observations
// with their own standard deviations, so the adjustment is the condition
// model with parameters (Gauss-Helmert), linearised about the current
// parameters and iterated until the largest correction is at most 1e-6 in
// iteration units (0.1 m, 1e-6 rad, 1 ppm), at most 30 corrections.
//
// Inputs: vhi.kk, vhv.kk columns 1-3 X, Y, Z (m), columns 4-6 their standard
// deviations (m, used as given: weight 1/sd^2); vhi.ime, vhv.ime the names.
// Common points: every pair of equal names (exact, case-sensitive), in the
// order of the start set, and for a start point every end point of its name
// in the order of the end set.
//
// Result (Par3dResult): PAR (dx, dy, dz in m, alfa, beta, gama in arc seconds,
// scale change in ppm), R (at the parameters before the last correction),
// m0 (from all observation residuals; from the end-datum differences of the
// transformed common points), iter, vezne (with vezne.t the transformed
// common points), Zyt (3n x 3: the 3x3 covariance block of point k in rows
// 3k..3k+2, m^2), v_st (standardised differences), tau (Pope's tau-test
// ratios; > 1 flags a gross error).  With an exact fit (all differences 0)
// v_st and tau are 0.
//
// m0(1) = sqrt(v1^T Q^-1 v1 / (3n - 7)) * 1e5 with v1 = Q A^T (A Q A^T)^-1 f,
// where A and f are those of the last linearisation, i.e. at the parameters
// before the last correction.  It therefore exceeds the residual estimate at
// the final parameters by delta^T N delta / (3n - 7) in variance: with the
// last correction of a typical network (~6e-8, 6 mm) a few mm in quadrature
// (0.020 m instead of 0.018 m on the local example network).  m0(2) uses the
// final parameters.
//
// Zyt, m0 and v_st are formed from quantities that cancel (2 cm differences
// of 4700 km coordinates; covariance terms of the translations that are
// larger than their sum by about cond(N)); in double precision they carry
// about eight significant digits, the parameters about ten.
//
// Cost O(n) time and memory in the number of common points n (the normal
// matrix is accumulated from 3x3 blocks, see par3d_7.cpp).
//
// Throws ComputationError: fewer than three common points, missing columns,
// a non-finite coordinate or a zero or non-finite standard deviation, a
// singular normal matrix (coincident or collinear points), a non-finite
// result, and no convergence within 30 corrections -- in that last case after
// the error box "Iteracija ne konvergira!" titled
// "Napaka v izračunu parametrov".
#pragma once

#include "engine/records.h"
#include "platform/pointset.h"

namespace kolmo {

// A coordinate of a common point is flagged as a gross error when its
// standardised difference exceeds kGrossErrorVst or its tau ratio exceeds
// kGrossErrorTau (the report marks it, kolmo-cli warns, the residual plot
// draws the point red).
inline constexpr double kGrossErrorVst = 3.29;
inline constexpr double kGrossErrorTau = 1.0;

// That test for coordinate idx (3 k + 0, 1, 2 for X, Y, Z of common point k);
// a coordinate the estimation gave no figures for is not flagged.
inline bool grobaKoordinata(const Par3dResult& est, Eigen::Index idx)
{
    return idx < est.v_st.size() && idx < est.tau.size() &&
           (est.v_st(idx) > kGrossErrorVst || est.tau(idx) > kGrossErrorTau);
}

Par3dResult par3d_7(const PointSet& vhi, const PointSet& vhv);


} // namespace kolmo
