// Interpolation on a rectangular grid: the tensor-product cubic spline with
// not-a-knot end conditions (the scheme of interp2(..., 'spline') in MATLAB and
// Octave) and bilinear interpolation (interp2 'linear').
//
// The spline is the tensor product of one-dimensional not-a-knot splines: along
// every grid row and every grid column the interpolant is the cubic spline
// through the values whose first and second pieces (and last two pieces) are
// one cubic.  On each cell it is a bicubic polynomial fixed by the values, the
// two first derivatives and the cross derivative at the four corners; those
// derivatives are the slopes of the one-dimensional splines (the cross
// derivative the slopes along y of the x-slopes).  The grid precomputes the
// sixteen coefficients of every cell, so a query is a cell look-up and a
// bicubic in local coordinates.
#pragma once

#include "platform/pointset.h"

#include <vector>

namespace kolmo {

class GridSpline {
public:
    // z(k, j) is the value at (x(j), y(k)).  Both axes strictly monotonic
    // (ascending or descending), at least four nodes each.  Throws
    // std::invalid_argument otherwise.
    GridSpline(const Vec& x, const Vec& y, const Mat& z);

    // NaN outside [min x, max x] x [min y, max y] (edges included) and for NaN input.
    double spline(double x, double y) const;
    double linear(double x, double y) const;

    Eigen::Index cols() const { return x_.size(); }
    Eigen::Index rows() const { return y_.size(); }

private:
    // Cell index i with a[i] <= v <= a[i+1], or -1 outside.
    static Eigen::Index locate(const Vec& a, double v);

    // The cell holding (x, y): row i, column j and the local coordinates
    // t, u in [0, 1]; false outside the grid.
    struct Cell {
        Eigen::Index i, j;
        double t, u;
    };
    bool cell(double x, double y, Cell& c) const;

    Vec x_, y_;          // ascending
    Mat z_;              // rows follow y_ (ascending)
    std::vector<double> coef_;  // 16 per cell, cell (i along y, j along x) at (i*(nx-1)+j)*16
};

// Slopes at the nodes of the one-dimensional not-a-knot cubic spline through
// each column of `f` (values at the nodes `a`, at least four).
Mat notAKnotSlopes(const Vec& a, const Mat& f);

} // namespace kolmo
