// BiharmonicSpline: Sandwell's biharmonic spline interpolation of scattered
// data in the plane.
//
// Sandwell, D. T. (1987), "Biharmonic spline interpolation of GEOS-3 and
// SEASAT altimeter data", Geophysical Research Letters 14(2), 139-142.
//
// The interpolant is a sum of Green's functions of the biharmonic operator
// centred on the data positions P(c),
//
//   S(q) = sum_c w(c) g(|q - P(c)|),   g(r) = r^2 (ln r - 1),   g(0) = 0,   (1)
//
// with the weights from the square system
//
//   sum_c' g(|P(c) - P(c')|) w(c') = z(c)   for every c.                    (2)
//
// No polynomial trend is added, so S passes through every z(c) and is the
// minimum-curvature surface of that form.  Positions are plane coordinates in
// metres (any consistent pair of columns); values are in any unit.  g is not
// scale-invariant, so the result depends on the unit of length: Kolmo always
// uses metres.  Distances are taken after subtracting the centroid of the data
// positions, which changes nothing in (1)-(2) but keeps the differences of
// 100 km coordinates exact.
//
// Several value sets at the same positions (the corrections in both plane
// coordinates) are solved with one factorisation and evaluated with one pass
// over the distances.
//
// System (2) is solved by LU decomposition with partial pivoting.  It is
// singular when two data positions coincide or there is only one (g(0) = 0
// makes the 1 x 1 system zero); such a system, an empty one, or one whose
// reciprocal condition number is below kMinRcond throws ComputationError
// instead of returning non-finite weights.
//
// Cost: O(n^3) to build, O(n) per evaluated point and value set.
#pragma once

#include "platform/pointset.h"

namespace kolmo {

class BiharmonicSpline {
public:
    // Below this estimate of the reciprocal condition number of (2) no digit of
    // the weights would be trustworthy.
    static constexpr double kMinRcond = 1e-15;

    // positions: n x 2 (metres); values: n x k, one column per value set.
    // Throws ComputationError when (2) is empty, singular or non-finite.
    BiharmonicSpline(const Mat& positions, const Mat& values);

    // Values of all k sets at the m rows of `points` (m x 2, metres): m x k.
    Mat operator()(const Mat& points) const;

    // g(r) of (1) with g(0) = 0.
    static double green(double r);

    const Mat& weights() const { return w_; }
    double rcond() const { return rcond_; }

private:
    Eigen::RowVector2d centre_;
    Vec px_, py_; // data positions relative to centre_
    Mat w_;       // n x k weights
    double rcond_ = 0;
};

} // namespace kolmo
