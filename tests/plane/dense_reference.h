// Textbook Gauss-Helmert adjustment of the plane transformations with dense
// matrices: A (2n x 4n), B (2n x nPar), Q (4n x 4n), (A Q A^T)^-1 formed
// explicitly.  O(n^3); used only to check the block-wise estimation on small
// networks.
#pragma once

#include "platform/pointset.h"

#include <Eigen/Dense>
#include <vector>

namespace kolmo::test {

struct DenseResult {
    Vec PAR;
    double m0 = 0;
    int iter = 0;
    std::vector<double> maxd; // largest |correction| of every iteration
};

// X, Y: common points, columns x, y, sd(x), sd(y).
inline DenseResult denseGaussHelmert(const Mat& X, const Mat& Y, int nPar)
{
    const Eigen::Index n = X.rows();
    DenseResult r;
    Vec x0 = Vec::Zero(nPar);
    double maxd = 1;
    Mat A, Q, M;
    Vec f;
    while (maxd > 1e-6 && r.iter <= 30) {
        A = Mat::Zero(2 * n, 4 * n);
        Mat B = Mat::Zero(2 * n, nPar);
        f = Vec::Zero(2 * n);
        Q = Mat::Identity(4 * n, 4 * n);
        for (Eigen::Index i = 0; i < n; ++i) {
            const double x = X(i, 0), y = X(i, 1);
            if (nPar == 4) {
                A.block(2 * i, 4 * i, 2, 4) << x0(0), -x0(1), -1, 0, x0(1), x0(0), 0, -1;
                B.row(2 * i) << x, -y, 1, 0;
                B.row(2 * i + 1) << y, x, 0, 1;
                f(2 * i) = Y(i, 0) - (x0(0) * x - x0(1) * y + x0(2));
                f(2 * i + 1) = Y(i, 1) - (x0(1) * x + x0(0) * y + x0(3));
            } else {
                A.block(2 * i, 4 * i, 2, 4) << x0(0), x0(1), -1, 0, x0(3), x0(4), 0, -1;
                B.row(2 * i) << x, y, 1, 0, 0, 0;
                B.row(2 * i + 1) << 0, 0, 0, x, y, 1;
                f(2 * i) = Y(i, 0) - (x0(0) * x + x0(1) * y + x0(2));
                f(2 * i + 1) = Y(i, 1) - (x0(3) * x + x0(4) * y + x0(5));
            }
            Q(4 * i, 4 * i) = X(i, 2) * X(i, 2);
            Q(4 * i + 1, 4 * i + 1) = X(i, 3) * X(i, 3);
            Q(4 * i + 2, 4 * i + 2) = Y(i, 2) * Y(i, 2);
            Q(4 * i + 3, 4 * i + 3) = Y(i, 3) * Y(i, 3);
        }
        M = (A * Q * A.transpose()).inverse();
        const Mat N = B.transpose() * M * B;
        const Vec t = B.transpose() * M * f;
        const Vec delta = N.partialPivLu().solve(t);
        x0 += delta;
        ++r.iter;
        maxd = delta.cwiseAbs().maxCoeff();
        r.maxd.push_back(maxd);
    }
    const Vec v = Q * A.transpose() * M * f;
    r.m0 = std::sqrt(v.dot(Q.inverse() * v) / static_cast<double>(2 * n - nPar));
    r.PAR = x0;
    return r;
}

} // namespace kolmo::test
