#include "geodesy/elipkart.h"

#include "geodesy/parelip.h"
#include "platform/dialogs.h"

#include <cmath>
#include <stdexcept>

namespace kolmo {
namespace {

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
    platform::dialogs().errorBox("Premalo stevilo stolpcev v podatkih!", "Napaka");
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
        const double theta = std::atan((Z * el.a) / (p * el.b));
        const double st = std::sin(theta), ct = std::cos(theta);
        const double fi = std::atan((Z + ep2sq * el.b * st * st * st) / (p - e2sq * el.a * ct * ct * ct));
        const double sf = std::sin(fi);
        const double N = el.a / std::sqrt(1.0 - e2sq * sf * sf);
        B(i, 0) = fi * 180.0 / kPi;
        B(i, 2) = p / std::cos(fi) - N;
    }
    return B;
}

} // namespace kolmo
