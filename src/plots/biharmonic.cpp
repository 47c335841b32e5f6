#include "plots/biharmonic.h"

#include "platform/errors.h"

#include <Eigen/LU>
#include <algorithm>
#include <cmath>

namespace kolmo {
namespace {

// g as a function of s = r^2: r^2 (ln r - 1) = s (ln(s)/2 - 1), with g = 0 at
// s = 0 (the limit, and what (1) prescribes).  Working with s avoids a square
// root per distance.
template <typename ArrayT>
auto greenOfSquared(const ArrayT& s)
{
    return (s > 0).select(s * (0.5 * s.log() - 1.0), 0.0);
}

// Query points handled per pass: the block of Green's function values
// (n x kBlock) stays in cache while it is multiplied with the weights.
constexpr Eigen::Index kBlock = 64;

} // namespace

double BiharmonicSpline::green(double r)
{
    return r == 0 ? 0.0 : r * r * (std::log(r) - 1.0);
}

BiharmonicSpline::BiharmonicSpline(const Mat& positions, const Mat& values)
{
    const Eigen::Index n = positions.rows();
    if (n == 0)
        throw ComputationError("biharmonic spline: no data points");
    if (positions.cols() < 2 || values.rows() != n)
        throw ComputationError("biharmonic spline: positions and values do not match");

    centre_ = positions.leftCols<2>().colwise().mean();
    px_ = positions.col(0).array() - centre_(0);
    py_ = positions.col(1).array() - centre_(1);

    Mat G(n, n);
    for (Eigen::Index j = 0; j < n; ++j) {
        const Eigen::ArrayXd s = (px_.array() - px_(j)).square() + (py_.array() - py_(j)).square();
        G.col(j) = greenOfSquared(s);
    }

    const Eigen::PartialPivLU<Mat> lu(G);
    rcond_ = lu.rcond();
    // The negated test also catches a NaN estimate (non-finite positions).
    if (!(rcond_ >= kMinRcond))
        throw ComputationError("biharmonic spline: singular system (coincident data positions or a single point)");
    w_ = lu.solve(values);
    if (!w_.allFinite())
        throw ComputationError("biharmonic spline: non-finite weights");
}

Mat BiharmonicSpline::operator()(const Mat& points) const
{
    const Eigen::Index m = points.rows(), n = px_.size(), k = w_.cols();
    Mat out(m, k);
    Mat G(n, kBlock);
    for (Eigen::Index b0 = 0; b0 < m; b0 += kBlock) {
        const Eigen::Index nb = std::min(kBlock, m - b0);
        for (Eigen::Index l = 0; l < nb; ++l) {
            const double qx = points(b0 + l, 0) - centre_(0);
            const double qy = points(b0 + l, 1) - centre_(1);
            auto g = G.col(l).array();
            g = (px_.array() - qx).square() + (py_.array() - qy).square();
            g = greenOfSquared(g); // element-wise, so the aliasing is harmless
        }
        out.middleRows(b0, nb).noalias() = G.leftCols(nb).transpose() * w_;
    }
    return out;
}

} // namespace kolmo
