#include "geodesy/gridspline.h"

#include <Eigen/LU>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace kolmo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool strictlyAscending(const Vec& a)
{
    for (Eigen::Index i = 1; i < a.size(); ++i)
        if (!(a(i) > a(i - 1)))
            return false;
    return true;
}

} // namespace

// The slope system of de Boor's not-a-knot spline (as in "A Practical Guide to
// Splines", and MATLAB's spline): interior rows are the C2 conditions
//   dx(i) s(i-1) + 2 (dx(i-1) + dx(i)) s(i) + dx(i-1) s(i+1)
//       = 3 (dx(i) d(i-1) + dx(i-1) d(i)),
// with d the divided differences; the first and last rows say that the third
// derivative does not jump at the second and the last-but-one node.
Mat notAKnotSlopes(const Vec& a, const Mat& f)
{
    const Eigen::Index n = a.size();
    if (n < 4 || f.rows() != n)
        throw std::invalid_argument("a not-a-knot spline needs at least four nodes");
    Vec dx(n - 1);
    for (Eigen::Index i = 0; i + 1 < n; ++i)
        dx(i) = a(i + 1) - a(i);
    Mat d(n - 1, f.cols());
    for (Eigen::Index i = 0; i + 1 < n; ++i)
        d.row(i) = (f.row(i + 1) - f.row(i)) / dx(i);

    Mat C = Mat::Zero(n, n);
    Mat b(n, f.cols());
    const double x31 = a(2) - a(0);
    C(0, 0) = dx(1);
    C(0, 1) = x31;
    b.row(0) = ((dx(0) + 2 * x31) * dx(1) * d.row(0) + dx(0) * dx(0) * d.row(1)) / x31;
    for (Eigen::Index i = 1; i + 1 < n; ++i) {
        C(i, i - 1) = dx(i);
        C(i, i) = 2 * (dx(i) + dx(i - 1));
        C(i, i + 1) = dx(i - 1);
        b.row(i) = 3 * (dx(i) * d.row(i - 1) + dx(i - 1) * d.row(i));
    }
    const double xn = a(n - 1) - a(n - 3);
    C(n - 1, n - 2) = xn;
    C(n - 1, n - 1) = dx(n - 3);
    b.row(n - 1) = (dx(n - 2) * dx(n - 2) * d.row(n - 3) + (2 * xn + dx(n - 2)) * dx(n - 3) * d.row(n - 2)) / xn;
    return C.partialPivLu().solve(b);
}

GridSpline::GridSpline(const Vec& x, const Vec& y, const Mat& z)
{
    if (z.rows() != y.size() || z.cols() != x.size())
        throw std::invalid_argument("grid values do not match the axes");
    x_ = x;
    y_ = y;
    Mat v = z;  // rows follow y_, columns x_, once both ascend
    if (x_.size() >= 2 && x_(0) > x_(x_.size() - 1)) {
        x_.reverseInPlace();
        v = v.rowwise().reverse().eval();
    }
    if (y_.size() >= 2 && y_(0) > y_(y_.size() - 1)) {
        y_.reverseInPlace();
        v = v.colwise().reverse().eval();
    }
    if (x_.size() < 4 || y_.size() < 4 || !strictlyAscending(x_) || !strictlyAscending(y_))
        throw std::invalid_argument("grid axes must be monotonic with at least four nodes");

    const Mat fx = notAKnotSlopes(x_, v.transpose()).transpose();
    const Mat fy = notAKnotSlopes(y_, v);
    const Mat fxy = notAKnotSlopes(y_, fx);

    const Eigen::Index nx = x_.size(), ny = y_.size();
    xScale_ = static_cast<double>(nx - 1) / (x_(nx - 1) - x_(0));
    yScale_ = static_cast<double>(ny - 1) / (y_(ny - 1) - y_(0));
    nodes_.resize(static_cast<std::size_t>(nx * ny));
    for (Eigen::Index i = 0; i < ny; ++i)
        for (Eigen::Index j = 0; j < nx; ++j)
            nodes_[static_cast<std::size_t>(i * nx + j)] = {v(i, j), fx(i, j), fy(i, j), fxy(i, j)};
}

Eigen::Index GridSpline::locate(const Vec& a, double scale, double v)
{
    const Eigen::Index n = a.size();
    if (!(v >= a(0) && v <= a(n - 1)))
        return -1;
    // Axes are near-uniform: guess, then step to the bracketing cell.
    auto i = static_cast<Eigen::Index>((v - a(0)) * scale);
    if (i > n - 2)
        i = n - 2;
    while (i > 0 && v < a(i))
        --i;
    while (i < n - 2 && v >= a(i + 1))
        ++i;
    return i;
}

bool GridSpline::cell(double x, double y, Cell& c) const
{
    c.j = locate(x_, xScale_, x);
    c.i = locate(y_, yScale_, y);
    if (c.j < 0 || c.i < 0)
        return false;
    c.hx = x_(c.j + 1) - x_(c.j);
    c.hy = y_(c.i + 1) - y_(c.i);
    c.t = (x - x_(c.j)) / c.hx;
    c.u = (y - y_(c.i)) / c.hy;
    return true;
}

// The bicubic Hermite form on the cell, in its local coordinates t, u:
//   f(t, u) = sum over the corners of  f H0 H0 + fx hx H1 H0 + fy hy H0 H1 + fxy hx hy H1 H1,
// with the cubic Hermite basis H0 = 1 - 3t^2 + 2t^3 (value at t = 0), its
// mirror 1 - H0 (value at t = 1), and H1 = t (1 - t)^2, -t^2 (1 - t) (slopes).
// It is evaluated along x on the cell's two rows first (value and y-slope),
// then along y.  At a node every basis function but one is exactly 0, so the
// stored value comes back unchanged.
double GridSpline::spline(double x, double y) const
{
    Cell k;
    if (!cell(x, y, k))
        return kNaN;
    const Node& a0 = node(k.i, k.j);
    const Node& a1 = node(k.i, k.j + 1);
    const Node& b0 = node(k.i + 1, k.j);
    const Node& b1 = node(k.i + 1, k.j + 1);

    const double t = k.t, u = k.u;
    const double p0 = (2 * t - 3) * t * t + 1, p1 = 1 - p0;
    const double q0 = t * (t - 1) * (t - 1) * k.hx, q1 = t * t * (t - 1) * k.hx;
    const double fa = p0 * a0.f + p1 * a1.f + q0 * a0.fx + q1 * a1.fx;      // value on row i
    const double ga = p0 * a0.fy + p1 * a1.fy + q0 * a0.fxy + q1 * a1.fxy;  // y-slope on row i
    const double fb = p0 * b0.f + p1 * b1.f + q0 * b0.fx + q1 * b1.fx;      // row i + 1
    const double gb = p0 * b0.fy + p1 * b1.fy + q0 * b0.fxy + q1 * b1.fxy;

    const double r0 = (2 * u - 3) * u * u + 1, r1 = 1 - r0;
    const double s0 = u * (u - 1) * (u - 1) * k.hy, s1 = u * u * (u - 1) * k.hy;
    return r0 * fa + r1 * fb + s0 * ga + s1 * gb;
}

double GridSpline::linear(double x, double y) const
{
    Cell k;
    if (!cell(x, y, k))
        return kNaN;
    const double a0 = node(k.i, k.j).f, a1 = node(k.i, k.j + 1).f;
    const double b0 = node(k.i + 1, k.j).f, b1 = node(k.i + 1, k.j + 1).f;
    const double lo = a0 + k.t * (a1 - a0);
    const double hi = b0 + k.t * (b1 - b0);
    return lo + k.u * (hi - lo);
}

} // namespace kolmo
