#include "geodesy/elipgk.h"

#include "geodesy/parelip.h"
#include "platform/dialogs.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace kolmo {
namespace {

constexpr double kLambda0 = 0.2617993877991494; // 15 deg in radians
constexpr double kScale = 0.9999;
constexpr double kFalseNorthing = 5000000.0;
constexpr double kFalseEasting = 500000.0;
constexpr double kFootpointTolerance = 0.0001; // m
// The footpoint iteration converges in a handful of steps inside the zone; the
// cap only keeps absurd input (an x of 1e300) from spinning for ever.
constexpr int kFootpointMaxSteps = 200;

// The kernels read columns 1 and 2 of rows 1..n; anything less would read
// past the matrix.
void checkShape(const Mat& A, Eigen::Index n)
{
    if (n < 0 || n > A.rows() || (n > 0 && A.cols() < 2))
        throw std::invalid_argument("elipgk/gkelip: matrix too small for the requested points");
}

// The zone's box; the details name the point (its row, from 1) and the value.
void zoneError(Eigen::Index row, const char* what, double value, const char* unit, const char* limits)
{
    char text[200];
    std::snprintf(text, sizeof text, "point %ld of the list: %s %.6f %s is outside the zone, %s",
                  static_cast<long>(row + 1), what, value, unit, limits);
    platform::dialogs().errorBox("Izven obmocja 5.cone GK!", "Napaka", text);
}

} // namespace

// Meridian-arc series coefficients, computed once per projection.
ZoneProjection::ZoneProjection(int elip, int mod) : k_(mod == 1 ? kScale : 1.0)
{
    const Ellipsoid el = parelip(elip);
    a_ = el.a;
    b_ = el.b;
    e2sq_ = el.e * el.e;
    ep2sq_ = el.e2 * el.e2;
    const double e2 = e2sq_, e4 = e2 * e2, e6 = e4 * e2, e8 = e6 * e2;
    A1_ = 1 + 3.0 / 4 * e2 + 45.0 / 64 * e4 + 175.0 / 256 * e6 + 11025.0 / 16384 * e8;
    B1_ = 3.0 / 4 * e2 + 15.0 / 16 * e4 + 525.0 / 512 * e6 + 2205.0 / 2048 * e8;
    C_ = 15.0 / 64 * e4 + 105.0 / 256 * e6 + 2205.0 / 4096 * e8;
    D_ = 35.0 / 512 * e6 + 315.0 / 2048 * e8;
    E_ = 315.0 / 16384 * e8;
}

double ZoneProjection::arc(double fi) const
{
    return a_ * (1 - e2sq_) *
           (A1_ * fi - B1_ / 2 * std::sin(2 * fi) + C_ / 4 * std::sin(4 * fi) - D_ / 6 * std::sin(6 * fi) +
            E_ / 8 * std::sin(8 * fi));
}

// Plane (already without false origin and scale) -> geodetic, radians.
std::pair<double, double> ZoneProjection::inverse(double xp, double yp) const
{
    double fi = 2 * xp / (a_ + b_);
    for (int step = 0; step < kFootpointMaxSteps; ++step) {
        const double d = xp - arc(fi);
        if (!(std::abs(d) > kFootpointTolerance))
            break;
        fi += 2 * d / (a_ + b_);
    }
    const double sf = std::sin(fi), cf = std::cos(fi);
    const double N = a_ / std::sqrt(1 - e2sq_ * sf * sf);
    const double t = std::tan(fi);
    const double eta2 = ep2sq_ * cf * cf;
    const double t2 = t * t, t4 = t2 * t2;
    const double N2 = N * N, N3 = N2 * N, N4 = N2 * N2, N5 = N4 * N, N6 = N4 * N2;
    const double y2 = yp * yp, y3 = y2 * yp, y4 = y2 * y2, y5 = y4 * yp, y6 = y4 * y2;
    const double fi1 = fi - t / (2 * N2) * (1 + eta2) * y2 +
                       t / (24 * N4) * (5 + 3 * t2 + 6 * eta2 - 6 * eta2 * t2) * y4 -
                       t / (720 * N6) * (61 + 90 * t2 + 45 * t4) * y6;
    const double l = yp / (N * cf) - (1 + 2 * t2 + eta2) / (6 * N3 * cf) * y3 +
                     (5 + 28 * t2 + 24 * t4) / (120 * N5 * cf) * y5;
    return {fi1, l};
}

bool ZoneProjection::toPlane(double fiDeg, double laDeg, double& xOut, double& yOut) const
{
    if (!inLongitudes(laDeg))
        return false;
    const double fi = fiDeg * kPi / 180.0;
    const double la = laDeg * kPi / 180.0;
    const double l = la - kLambda0;
    const double sf = std::sin(fi), cf = std::cos(fi);
    const double N = a_ / std::sqrt(1 - e2sq_ * sf * sf);
    const double t = std::tan(fi), t2 = t * t, t4 = t2 * t2;
    const double eta2 = ep2sq_ * cf * cf, eta4 = eta2 * eta2;
    const double X = arc(fi);
    const double l2 = l * l, l3 = l2 * l, l4 = l2 * l2, l5 = l4 * l, l6 = l4 * l2;
    const double c3 = cf * cf * cf, c5 = c3 * cf * cf;
    const double x = X + l2 / 2 * N * sf * cf + l4 / 24 * N * sf * c3 * (5 - t2 + 9 * eta2 + 4 * eta4) +
                     l6 / 720 * N * sf * c5 * (61 - 58 * t2 + t4);
    const double y = l * N * cf + l3 / 6 * N * c3 * (1 + eta2 - t2) +
                     l5 / 120 * N * c5 * (5 - 18 * t2 + t4 + 14 * eta2 - 58 * eta2 * t2);
    xOut = k_ * x - kFalseNorthing;
    yOut = k_ * y + kFalseEasting;
    return true;
}

bool ZoneProjection::toGeodetic(double x, double y, double& fiOut, double& laOut) const
{
    if (!inPlane(x, y))
        return false;
    const double xp = (x + kFalseNorthing) / k_;
    const double yp = (y - kFalseEasting) / k_;
    const auto [fi, l] = inverse(xp, yp);
    fiOut = fi * 180.0 / kPi;
    laOut = l * 180.0 / kPi + 15.0;
    return true;
}

void ZoneProjection::longitudeBox(Eigen::Index row, double la)
{
    zoneError(row, "longitude", la, "deg", "13.25 to 16.75 deg E");
}

void ZoneProjection::eastingBox(Eigen::Index row, double y)
{
    zoneError(row, "easting", y, "m", "362000 to 638000 m");
}

void ZoneProjection::planeBox(Eigen::Index row, double x, double y)
{
    if (!inEastings(y))
        eastingBox(row, y);
    else
        zoneError(row, "northing", x, "m", "-5000000 to 5000000 m (the equator to the pole)");
}

Mat elipgk(const Mat& A, Eigen::Index n, int elip, int mod)
{
    checkShape(A, n);
    const ZoneProjection P(elip, mod);
    Mat B(n, 2);
    for (Eigen::Index i = 0; i < n; ++i) {
        double x, y;
        if (!P.toPlane(A(i, 0), A(i, 1), x, y)) {
            ZoneProjection::longitudeBox(i, A(i, 1));
            return B.topRows(i).eval();
        }
        B(i, 0) = x;
        B(i, 1) = y;
    }
    return B;
}

Mat gkelip(const Mat& A, Eigen::Index n, int elip, int mod)
{
    checkShape(A, n);
    const ZoneProjection P(elip, mod);
    Mat B(n, 2);
    for (Eigen::Index i = 0; i < n; ++i) {
        double fi, la;
        if (!P.toGeodetic(A(i, 0), A(i, 1), fi, la)) {
            ZoneProjection::planeBox(i, A(i, 0), A(i, 1));
            return B.topRows(i).eval();
        }
        B(i, 0) = fi;
        B(i, 1) = la;
    }
    return B;
}

std::pair<double, double> tmelip(const Mat& A)
{
    checkShape(A, A.rows());
    const ZoneProjection P(2, 1);
    std::pair<double, double> out{0.0, 0.0};
    for (Eigen::Index i = 0; i < A.rows(); ++i) {
        // No zone check here: the same series as toGeodetic beyond its limits.
        const double xp = (A(i, 0) + kFalseNorthing) / kScale;
        const double yp = (A(i, 1) - kFalseEasting) / kScale;
        const auto [fi, l] = P.inverse(xp, yp);
        out = {fi * 180.0 / kPi, l * 180.0 / kPi + 15.0};
    }
    return out;
}

} // namespace kolmo
