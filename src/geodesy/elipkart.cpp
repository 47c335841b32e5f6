#include "geodesy/elipkart.h"

#include "geodesy/parelip.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace kolmo {
namespace {

// cos fi below which the height is taken by the form without division (|fi| > 89.4 deg).
constexpr double kNearPoleCosine = 0.01;

// Distance from the centre within which a point is refused: the evolute of
// the meridian ellipse reaches a e^2 = 42.7 km from the axis (GRS80) and
// b e'^2 = 28.6 km along it.
constexpr double kNearCentre = 50000.0;
// ... and beyond which: 10^10 m, 25 times the distance of the Moon (a
// parameter set with a scale change of 10^300 ppm puts points there, where
// the squares of the formula overflow and every point lands on the equator).
constexpr double kFarOut = 1e10;

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

CartesianConversion::CartesianConversion(int elip)
{
    const Ellipsoid el = parelip(elip);
    a_ = el.a;
    b_ = el.b;
    e2sq_ = el.e * el.e;
    ep2sq_ = el.e2 * el.e2;
}

void CartesianConversion::toCartesian(double fiDeg, double laDeg, double h, double& X, double& Y, double& Z) const
{
    const double fi = fiDeg * kPi / 180.0;
    const double la = laDeg * kPi / 180.0;
    const double sf = std::sin(fi);
    const double N = a_ / std::sqrt(1.0 - e2sq_ * sf * sf);
    X = (N + h) * std::cos(fi) * std::cos(la);
    Y = (N + h) * std::cos(fi) * std::sin(la);
    Z = ((1.0 - e2sq_) * N + h) * sf;
}

void CartesianConversion::toEllipsoidal(double X, double Y, double Z, double& fiOut, double& laOut, double& hOut,
                                        Eigen::Index row) const
{
    // A point that is no finite number, or one deep inside the Earth, has no
    // latitude: within the evolute of the meridian ellipse (p < a e^2, about
    // 43 km from the axis near the centre) the normal through a point is not
    // unique, and Bowring's formula below gives a latitude of either sign
    // ((1, 1, 1) m came out at -19.7 deg).  No survey puts a point there; a
    // parameter set that does (a scale change of -999999 ppm) is refused by it.
    if (!std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z))
        throw ComputationError("Cartesian point " + std::to_string(row + 1) + " is not a finite number (" +
                               std::to_string(X) + ", " + std::to_string(Y) + ", " + std::to_string(Z) + ")");
    // Without overflow for points far out (the squares below would be inf).
    const double r = std::hypot(std::hypot(X, Y), Z);
    if ((r != 0.0 && r < kNearCentre) || r > kFarOut) {
        char text[200];
        std::snprintf(text, sizeof text, r < kNearCentre ? "%.3f m" : "%.6g m", r);
        throw ComputationError("Cartesian point " + std::to_string(row + 1) + " is " + text +
                               " from the centre of the Earth: it has no latitude and no height");
    }
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
    laOut = la_deg;
    if (p == 0.0) {
        // On the polar axis the quotient of theta is Z / 0 and the height
        // p / cos fi is 0 / 0 in exact arithmetic; the pole is plain: fi is
        // +-90 deg and h the distance beyond the semi-minor axis.  The
        // centre of the Earth has neither.
        if (Z == 0.0)
            throw ComputationError("Cartesian point " + std::to_string(row + 1) +
                                   " is the centre of the Earth (0, 0, 0): it has no latitude and no height");
        fiOut = Z > 0 ? 90.0 : -90.0;
        hOut = std::abs(Z) - b_;
        return;
    }
    const double theta = std::atan((Z * a_) / (p * b_));
    const double st = std::sin(theta), ct = std::cos(theta);
    const double fi = std::atan((Z + ep2sq_ * b_ * st * st * st) / (p - e2sq_ * a_ * ct * ct * ct));
    const double sf = std::sin(fi), cf = std::cos(fi);
    const double N = a_ / std::sqrt(1.0 - e2sq_ * sf * sf);
    fiOut = fi * 180.0 / kPi;
    // h = p / cos fi - N divides by a cosine that vanishes toward the pole,
    // and the rounding of cos fi grows with it: 1 mm from the axis it is
    // off by metres.  Within 0.6 deg of a pole the same height comes from
    // h = p cos fi + Z sin fi - a^2 / N, which has no division (both are
    // the distance from the ellipsoid along the normal at fi).
    if (std::abs(cf) >= kNearPoleCosine)
        hOut = p / cf - N;
    else
        hOut = p * cf + Z * sf - a_ * a_ / N;
}

Mat elipkart(const Mat& A, Eigen::Index n, int elip)
{
    if (!enoughColumns(A))
        return Mat();
    checkRows(A, n);
    const CartesianConversion C(elip);
    Mat B(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        double X, Y, Z;
        C.toCartesian(A(i, 0), A(i, 1), A(i, 2), X, Y, Z);
        B(i, 0) = X;
        B(i, 1) = Y;
        B(i, 2) = Z;
    }
    return B;
}

Mat kartelip(const Mat& A, Eigen::Index n, int elip)
{
    if (!enoughColumns(A))
        return Mat();
    checkRows(A, n);
    const CartesianConversion C(elip);
    Mat B(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        double fi, la, h;
        C.toEllipsoidal(A(i, 0), A(i, 1), A(i, 2), fi, la, h, i);
        B(i, 0) = fi;
        B(i, 1) = la;
        B(i, 2) = h;
    }
    return B;
}

} // namespace kolmo
