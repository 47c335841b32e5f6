#include "engine/tran3d.h"

#include "geodesy/parelip.h"

#include <cmath>
#include <stdexcept>

namespace kolmo {

Eigen::Matrix3d rot3d(double alfa, double beta, double gama)
{
    const double ca = std::cos(alfa), sa = std::sin(alfa);
    const double cb = std::cos(beta), sb = std::sin(beta);
    const double cg = std::cos(gama), sg = std::sin(gama);
    Eigen::Matrix3d R;
    R << cb * cg, ca * sg + sa * sb * cg, sa * sg - ca * sb * cg, //
        -cb * sg, ca * cg - sa * sb * sg, sa * cg + ca * sb * sg, //
        sb, -sa * cb, ca * cb;
    return R;
}

double arcsecToRad(double sec) { return sec / 3600.0 * kPi / 180.0; }

Mat tran3d(const Mat& X, const Vec& PAR, int nPar)
{
    if (nPar != 3 && nPar != 4 && nPar != 6 && nPar != 7)
        throw std::invalid_argument("tran3d: nPar must be 3, 4, 6 or 7");
    if (PAR.size() < nPar)
        throw std::invalid_argument("tran3d: parameter vector shorter than nPar");
    if (X.cols() < 3)
        throw std::invalid_argument("tran3d: fewer than three coordinate columns");

    const Eigen::Index n = X.rows();
    const Eigen::RowVector3d d(PAR(0), PAR(1), PAR(2));
    Mat Yt(n, 3);
    if (nPar == 3) {
        Yt = X.leftCols(3).rowwise() + d;
        return Yt;
    }
    if (nPar == 4) {
        const double s = PAR(3) / 1e6 + 1.0;
        Yt = (s * X.leftCols(3)).rowwise() + d;
        return Yt;
    }
    const Similarity similarity(PAR, nPar);
    for (Eigen::Index i = 0; i < n; ++i)
        similarity.apply(X(i, 0), X(i, 1), X(i, 2), Yt(i, 0), Yt(i, 1), Yt(i, 2));
    return Yt;
}

Similarity::Similarity(const Vec& PAR, int nPar)
{
    if ((nPar != 6 && nPar != 7) || PAR.size() < nPar)
        throw std::invalid_argument("Similarity: six or seven parameters needed");
    R_ = rot3d(arcsecToRad(PAR(3)), arcsecToRad(PAR(4)), arcsecToRad(PAR(5)));
    s_ = nPar == 7 ? PAR(6) / 1e6 + 1.0 : 1.0;
    d_[0] = PAR(0);
    d_[1] = PAR(1);
    d_[2] = PAR(2);
}

} // namespace kolmo
