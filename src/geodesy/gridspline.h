// Interpolation on a rectangular grid: the tensor-product cubic spline with
// not-a-knot end conditions (the scheme of interp2(..., 'spline') in MATLAB and
// Octave) and bilinear interpolation (interp2 'linear').
//
// The spline is the tensor product of one-dimensional not-a-knot splines: along
// every grid row and every grid column the interpolant is the cubic spline
// through the values whose first and second pieces (and last two pieces) are
// one cubic.  On each cell it is the bicubic Hermite polynomial fixed by the
// value, the two first derivatives and the cross derivative at the four
// corners; those derivatives are the slopes of the one-dimensional splines
// (the cross derivative the slopes along y of the x-slopes), so the Hermite
// form is that spline exactly, not an approximation of it.
//
// The grid keeps those four numbers per node (4 doubles: 2.5 MB for the
// 241 x 321 VRP2016 grid) rather than sixteen polynomial coefficients per
// cell (9.8 MB): a query reads its cell's four corners from two rows of the
// node table.  Queries spread over the whole country touch every cell; on a
// machine shared with other work the coefficient table fell out of the cache
// and a look-up took from 30 ns up to over 250 ns, where the node table keeps
// it within about 25-60 ns.  The two forms agree to rounding (3e-14 m on the
// geoid grid), and so does interp2 'spline'; on a node the stored value
// comes back exactly.
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
    // Cell index i with a[i] <= v <= a[i+1], or -1 outside; `scale` is
    // (n - 1) / (a[n-1] - a[0]).
    static Eigen::Index locate(const Vec& a, double scale, double v);

    // The cell holding (x, y): row i, column j, the local coordinates t, u in
    // [0, 1] and the cell's widths; false outside the grid.
    struct Cell {
        Eigen::Index i, j;
        double t, u, hx, hy;
    };
    bool cell(double x, double y, Cell& c) const;

    // Value and derivatives at one node; the Hermite form of the cell scales
    // the slopes by the cell's widths.  Aligned so that no node straddles two
    // cache lines: with an odd row length a cell's corners then lie on
    // exactly three lines, one row's pair sharing a line, the other's not.
    struct alignas(32) Node {
        double f, fx, fy, fxy;
    };
    const Node& node(Eigen::Index i, Eigen::Index j) const { return nodes_[static_cast<std::size_t>(i * x_.size() + j)]; }

    Vec x_, y_;          // ascending
    double xScale_ = 0, yScale_ = 0;  // (n - 1) / (last - first): a first guess of the cell
    std::vector<Node> nodes_;  // row-major, rows follow y_ (ascending)
};

// Slopes at the nodes of the one-dimensional not-a-knot cubic spline through
// each column of `f` (values at the nodes `a`, at least four).
Mat notAKnotSlopes(const Vec& a, const Mat& f);

} // namespace kolmo
