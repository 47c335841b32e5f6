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
    z_ = z;
    if (x_.size() >= 2 && x_(0) > x_(x_.size() - 1)) {
        x_.reverseInPlace();
        z_ = z_.rowwise().reverse().eval();
    }
    if (y_.size() >= 2 && y_(0) > y_(y_.size() - 1)) {
        y_.reverseInPlace();
        z_ = z_.colwise().reverse().eval();
    }
    if (x_.size() < 4 || y_.size() < 4 || !strictlyAscending(x_) || !strictlyAscending(y_))
        throw std::invalid_argument("grid axes must be monotonic with at least four nodes");

    const Mat fx = notAKnotSlopes(x_, z_.transpose()).transpose();
    const Mat fy = notAKnotSlopes(y_, z_);
    const Mat fxy = notAKnotSlopes(y_, fx);

    const Eigen::Index nx = x_.size(), ny = y_.size();
    coef_.assign(static_cast<std::size_t>((nx - 1) * (ny - 1) * 16), 0.0);
    // Hermite basis in the local coordinates t = (x - x_j)/hx, u = (y - y_i)/hy.
    Eigen::Matrix4d M;
    M << 1, 0, 0, 0,
         0, 0, 1, 0,
        -3, 3, -2, -1,
         2, -2, 1, 1;
    for (Eigen::Index i = 0; i + 1 < ny; ++i) {
        const double hy = y_(i + 1) - y_(i);
        for (Eigen::Index j = 0; j + 1 < nx; ++j) {
            const double hx = x_(j + 1) - x_(j);
            Eigen::Matrix4d F;  // first index along x (value, value, slope, slope), second along y
            for (int p = 0; p < 2; ++p)
                for (int q = 0; q < 2; ++q) {
                    const Eigen::Index r = i + q, c = j + p;
                    F(p, q) = z_(r, c);
                    F(p, 2 + q) = fy(r, c) * hy;
                    F(2 + p, q) = fx(r, c) * hx;
                    F(2 + p, 2 + q) = fxy(r, c) * hx * hy;
                }
            const Eigen::Matrix4d A = M * F * M.transpose();  // A(p, q): coefficient of t^p u^q
            double* out = &coef_[static_cast<std::size_t>((i * (nx - 1) + j) * 16)];
            for (int p = 0; p < 4; ++p)
                for (int q = 0; q < 4; ++q)
                    out[p * 4 + q] = A(p, q);
            out[0] = z_(i, j);  // exact on the node
        }
    }
}

Eigen::Index GridSpline::locate(const Vec& a, double v)
{
    const Eigen::Index n = a.size();
    if (!(v >= a(0) && v <= a(n - 1)))
        return -1;
    // Axes are near-uniform: guess, then step to the bracketing cell.
    auto i = static_cast<Eigen::Index>((v - a(0)) / (a(n - 1) - a(0)) * static_cast<double>(n - 1));
    if (i > n - 2)
        i = n - 2;
    if (i < 0)
        i = 0;
    while (i > 0 && v < a(i))
        --i;
    while (i < n - 2 && v >= a(i + 1))
        ++i;
    return i;
}

bool GridSpline::cell(double x, double y, Cell& c) const
{
    c.j = locate(x_, x);
    c.i = locate(y_, y);
    if (c.j < 0 || c.i < 0)
        return false;
    c.t = (x - x_(c.j)) / (x_(c.j + 1) - x_(c.j));
    c.u = (y - y_(c.i)) / (y_(c.i + 1) - y_(c.i));
    return true;
}

double GridSpline::spline(double x, double y) const
{
    Cell k;
    if (!cell(x, y, k))
        return kNaN;
    const double* c = &coef_[static_cast<std::size_t>((k.i * (x_.size() - 1) + k.j) * 16)];
    double r[4];
    for (int p = 0; p < 4; ++p)
        r[p] = ((c[p * 4 + 3] * k.u + c[p * 4 + 2]) * k.u + c[p * 4 + 1]) * k.u + c[p * 4];
    return ((r[3] * k.t + r[2]) * k.t + r[1]) * k.t + r[0];
}

double GridSpline::linear(double x, double y) const
{
    Cell k;
    if (!cell(x, y, k))
        return kNaN;
    const Eigen::Index i = k.i, j = k.j;
    const double lo = z_(i, j) + k.t * (z_(i, j + 1) - z_(i, j));
    const double hi = z_(i + 1, j) + k.t * (z_(i + 1, j + 1) - z_(i + 1, j));
    return lo + k.u * (hi - lo);
}

} // namespace kolmo
