// Piecewise cubic C1 interpolation of scattered data over their Delaunay
// triangulation (Clough-Tocher), the scheme of griddata(..., 'cubic').
//
// - Triangulation: Qhull's Delaunay triangulation with the options
//   "d Qbb Qc Qz Q12 Qt" (triangulated output).
// - Gradients at the data points: the global estimate of Nielson (1983) and
//   Renka & Cline (1984), which minimises the curvature of the interpolant
//   along the edges; solved by Gauss-Seidel sweeps in point order until the
//   largest relative change is below 1e-6 (at most 400 sweeps).
// - Each triangle is split at its centroid into three cubic Bezier patches
//   (Clough & Tocher 1965; Farin 1986).  The cross-boundary derivative along
//   each edge is made linear in the direction from this triangle's centroid to
//   the neighbour's centroid, which keeps the surface C1 and the interpolant
//   invariant under affine maps of the plane; on the hull edges the direction
//   is toward the midpoint of the opposite sides.
// Points outside the convex hull of the data give NaN.  A uniform bucket grid
// over the triangles finds the triangle of a query point.
#pragma once

#include "platform/pointset.h"

#include <array>
#include <vector>

namespace kolmo {

class CloughTocher2D {
public:
    // x, y, z of equal length (at least three points, not all on a line).
    // Throws std::invalid_argument when no triangulation exists.
    CloughTocher2D(const Vec& x, const Vec& y, const Vec& z);

    double operator()(double x, double y) const;

    std::size_t triangleCount() const { return tri_.size(); }
    // The triangles as point indices (0-based), for tests.
    const std::vector<std::array<int, 3>>& triangles() const { return tri_; }
    // Sweeps the gradient estimate needed (0 if it did not converge).
    int gradientSweeps() const { return sweeps_; }

private:
    struct Patch {
        double p2x, p2y;        // third vertex
        double t00, t01, t10, t11;  // inverse of [p0 - p2, p1 - p2]
        // control points: c3000 c0300 c0030 c2100 c2010 c1200 c0210 c1020 c0120
        //                 c2001 c0201 c0021 c1101 c1011 c0111 c1002 c0102 c0012 c0003
        std::array<double, 19> c;
    };

    void barycentric(const Patch& p, double x, double y, double b[3]) const;
    double evaluate(const Patch& p, const double b[3]) const;

    std::vector<double> px_, py_, pz_;
    std::vector<std::array<int, 3>> tri_;
    std::vector<Patch> patch_;
    int sweeps_ = 0;

    // bucket grid
    double gx0_ = 0, gy0_ = 0, gdx_ = 1, gdy_ = 1;
    int gnx_ = 1, gny_ = 1;
    std::vector<int> bucketStart_, bucketTri_;
};

} // namespace kolmo
