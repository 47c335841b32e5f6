#include "geodesy/elipkart.h"

#include "geodesy/parelip.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace kolmo {
namespace {

// cos fi below which the height is taken by the form without division (|fi| > 89.4 deg).
constexpr double kNearPoleCosine = 0.01;

// n beyond the rows of A would read past the matrix.
void checkRows(const Mat& A, Eigen::Index n)
{
    if (n < 0 || n > A.rows())
        throw std::invalid_argument("elipkart/kartelip: more points requested than the matrix holds");
}

bool enoughColumns(const Mat& A)
{
    if (A.cols() >= 3)
        return true;
    platform::dialogs().errorBox("Premalo stevilo stolpcev v podatkih!", "Napaka",
                                 std::to_string(A.cols()) + " column(s), three coordinates needed");
    return false;
}

} // namespace

Mat elipkart(const Mat& A, Eigen::Index n, int elip)
{
    if (!enoughColumns(A))
        return Mat();
    checkRows(A, n);
    const Ellipsoid el = parelip(elip);
    const double e2sq = el.e * el.e;
    Mat B(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double fi = A(i, 0) * kPi / 180.0;
        const double la = A(i, 1) * kPi / 180.0;
        const double h = A(i, 2);
        const double sf = std::sin(fi);
        const double N = el.a / std::sqrt(1.0 - e2sq * sf * sf);
        B(i, 0) = (N + h) * std::cos(fi) * std::cos(la);
        B(i, 1) = (N + h) * std::cos(fi) * std::sin(la);
        B(i, 2) = ((1.0 - e2sq) * N + h) * sf;
    }
    return B;
}

Mat kartelip(const Mat& A, Eigen::Index n, int elip)
{
    if (!enoughColumns(A))
        return Mat();
    checkRows(A, n);
    const Ellipsoid el = parelip(elip);
    const double e2sq = el.e * el.e;
    const double ep2sq = el.e2 * el.e2;
    Mat B(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double X = A(i, 0), Y = A(i, 1), Z = A(i, 2);
        const double p = std::sqrt(X * X + Y * Y);
        double la;
        if (X != 0.0) {
            la = std::atan(Y / X);
            if (X < 0)
                la += kPi;
            else if (Y < 0)
                la += 2.0 * kPi;
        } else {
            // On the Y-Z plane the quotient is undefined; the direction is plain.
            la = Y > 0 ? kPi / 2.0 : (Y < 0 ? 1.5 * kPi : 0.0);
        }
        // A Y just below zero puts atan(Y/X) + 2 pi on 2 pi itself after rounding,
        // and Y = -0 gives -0: keep the longitude in [0, 360).
        double la_deg = la * 180.0 / kPi + 0.0;
        if (la_deg >= 360.0)
            la_deg -= 360.0;
        B(i, 1) = la_deg;
        if (p == 0.0) {
            // On the polar axis the quotient of theta is Z / 0 and the height
            // p / cos fi is 0 / 0 in exact arithmetic; the pole is plain: fi is
            // +-90 deg and h the distance beyond the semi-minor axis.  The
            // centre of the Earth has neither.
            if (Z == 0.0)
                throw ComputationError("Cartesian point " + std::to_string(i + 1) +
                                       " is the centre of the Earth (0, 0, 0): it has no latitude and no height");
            B(i, 0) = Z > 0 ? 90.0 : -90.0;
            B(i, 2) = std::abs(Z) - el.b;
            continue;
        }
        const double theta = std::atan((Z * el.a) / (p * el.b));
        const double st = std::sin(theta), ct = std::cos(theta);
        const double fi = std::atan((Z + ep2sq * el.b * st * st * st) / (p - e2sq * el.a * ct * ct * ct));
        const double sf = std::sin(fi), cf = std::cos(fi);
        const double N = el.a / std::sqrt(1.0 - e2sq * sf * sf);
        B(i, 0) = fi * 180.0 / kPi;
        // h = p / cos fi - N divides by a cosine that vanishes toward the pole,
        // and the rounding of cos fi grows with it: 1 mm from the axis it is
        // off by metres.  Within 0.6 deg of a pole the same height comes from
        // h = p cos fi + Z sin fi - a^2 / N, which has no division (both are
        // the distance from the ellipsoid along the normal at fi).
        if (std::abs(cf) >= kNearPoleCosine)
            B(i, 2) = p / cf - N;
        else
            B(i, 2) = p * cf + Z * sf - el.a * el.a / N;
    }
    return B;
}

} // namespace kolmo
