#include "plots/grobi.h"

#include <cmath>

namespace kolmo {

std::vector<bool> grobi3d(const Par3dResult& est)
{
    const std::size_t n = est.vezne.ime.size();
    std::vector<bool> flags(n, false);
    for (std::size_t k = 0; k < n; ++k)
        for (Eigen::Index c = 0; c < 3; ++c)
            if (grobaKoordinata(est, static_cast<Eigen::Index>(3 * k) + c))
                flags[k] = true;
    return flags;
}

std::vector<bool> grobi2d(const Par2dResult& est, int npar)
{
    const auto n = static_cast<std::size_t>(est.vezne.ime.size());
    std::vector<bool> flags(n, false);
    const Vec& p = est.PAR;
    if (!std::isfinite(est.m0) || est.m0 <= 0 || (npar != 4 && npar != 6) || p.size() != npar)
        return flags;
    const Mat& X = est.vezne.i;
    const Mat& Y = est.vezne.v;
    if (X.rows() != static_cast<Eigen::Index>(n) || Y.rows() != X.rows() || X.cols() < 2 || Y.cols() < 2)
        return flags;
    // Coefficients of the start coordinates and the translation in each row.
    const double c1[3] = {p(0), npar == 4 ? -p(1) : p(1), p(2)};
    const double c2[3] = {npar == 4 ? p(1) : p(3), npar == 4 ? p(0) : p(4), npar == 4 ? p(3) : p(5)};
    const auto sd = [](const Mat& M, Eigen::Index r, Eigen::Index c) { return M.cols() > c ? M(r, c) : 1.0; };
    for (std::size_t k = 0; k < n; ++k) {
        const auto r = static_cast<Eigen::Index>(k);
        const double x = X(r, 0), y = X(r, 1);
        const double sx1 = sd(X, r, 2), sx2 = sd(X, r, 3);
        const double* rows[2] = {c1, c2};
        for (int c = 0; c < 2; ++c) {
            const double* q = rows[c];
            const double f = Y(r, c) - (q[0] * x + q[1] * y + q[2]);
            const double sy = sd(Y, r, 2 + c);
            const double sf = est.m0 * std::sqrt(sy * sy + q[0] * q[0] * sx1 * sx1 + q[1] * q[1] * sx2 * sx2);
            if (sf > 0 && std::abs(f) / sf > kGrossErrorVst)
                flags[k] = true;
        }
    }
    return flags;
}

} // namespace kolmo
