#include "engine/par2d_p.h"

#include "engine/vezne.h"

#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <Eigen/LU>
#include <cmath>
#include <vector>

namespace kolmo {
namespace {

constexpr int kMaxIterations = 30;
constexpr double kThreshold = 1e-6;
// Below this reciprocal condition number of the equilibrated normal matrix the
// common points do not determine the parameters (coincident points, or
// collinear ones for the affine model); with centred coordinates an ordinary
// network stays within a few orders of magnitude of 1.
constexpr double kMinRcond = 1e-13;

// Linearisation of the two condition equations of one point.
template <int P>
struct PointModel {
    Eigen::Matrix<double, 2, 4> A; // by the observations x, y, x', y'
    Eigen::Matrix<double, 2, P> B; // by the parameters
    Eigen::Vector2d f;             // misclosure, given minus computed
};

// (x, y) start point, (xe, ye) end point, (xc, yc) the start point relative
// to the centroid of the common points (see centredToModel).
template <int P>
PointModel<P> linearise(const Eigen::Matrix<double, P, 1>& x0, double x, double y, double xe, double ye, double xc,
                        double yc)
{
    PointModel<P> m;
    if constexpr (P == 4) {
        // x' = a x - b y + c,  y' = b x + a y + d
        m.A << x0(0), -x0(1), -1, 0, //
            x0(1), x0(0), 0, -1;
        m.B << xc, -yc, 1, 0, //
            yc, xc, 0, 1;
        m.f << xe - (x0(0) * x - x0(1) * y + x0(2)), ye - (x0(1) * x + x0(0) * y + x0(3));
    } else {
        // x' = a1 x + a2 y + a3,  y' = b1 x + b2 y + b3
        m.A << x0(0), x0(1), -1, 0, //
            x0(3), x0(4), 0, -1;
        m.B << xc, yc, 1, 0, 0, 0, //
            0, 0, 0, xc, yc, 1;
        m.f << xe - (x0(0) * x + x0(1) * y + x0(2)), ye - (x0(3) * x + x0(4) * y + x0(5));
    }
    return m;
}

// The normal equations are formed with the start coordinates relative to their
// centroid (xm, ym): the translations then become those of the centroid,
//   c~ = c + a xm - b ym,  d~ = d + b xm + a ym          (four parameters)
//   a3~ = a3 + a1 xm + a2 ym,  b3~ = b3 + b1 xm + b2 ym  (six parameters),
// and a correction of the centred parameters maps back to the model's by the
// inverse of that linear change.  Both forms give the same correction in exact
// arithmetic, but on 100 km coordinates the raw normal matrix is so
// ill-conditioned that its rounding alone moves the translations by about
// 1e-6 m (0.9e-6 and 1.6e-6 m in the second correction of the 12-point
// Ljubljana network) - the size of the convergence threshold - so the
// iteration count would depend on rounding.  Centred, the second correction for equal
// standard deviations is zero to about 1e-10 m, as the model says.
template <int P>
Eigen::Matrix<double, P, 1> centredToModel(const Eigen::Matrix<double, P, 1>& dc, double xm, double ym)
{
    Eigen::Matrix<double, P, 1> d = dc;
    if constexpr (P == 4) {
        d(2) = dc(2) - dc(0) * xm + dc(1) * ym;
        d(3) = dc(3) - dc(1) * xm - dc(0) * ym;
    } else {
        d(2) = dc(2) - dc(0) * xm - dc(1) * ym;
        d(5) = dc(5) - dc(3) * xm - dc(4) * ym;
    }
    return d;
}

double sdOr1(const Mat& koo, Eigen::Index row, Eigen::Index col) { return col < koo.cols() ? koo(row, col) : 1.0; }

template <int P>
Par2dResult estimate(Vezne vezne)
{
    using VecP = Eigen::Matrix<double, P, 1>;
    using MatP = Eigen::Matrix<double, P, P>;
    const Mat& X = vezne.i;
    const Mat& Y = vezne.v;
    const Eigen::Index n = X.rows();

    // Diagonal of Q per point: variances of x, y, x', y'.
    std::vector<Eigen::Vector4d> q(static_cast<std::size_t>(n));
    for (Eigen::Index i = 0; i < n; ++i) {
        const Eigen::Vector4d s(sdOr1(X, i, 2), sdOr1(X, i, 3), sdOr1(Y, i, 2), sdOr1(Y, i, 3));
        q[static_cast<std::size_t>(i)] = s.cwiseAbs2();
    }

    const double xm = X.col(0).mean(), ym = X.col(1).mean();

    VecP x0 = VecP::Zero();
    double maxd = 1;
    int iter = 0;
    double vQv = 0; // v^T Q^-1 v of the current iteration
    MatP Nlast = MatP::Zero(); // normal matrix of the current iteration (centred parameters)
    while (maxd > kThreshold) {
        MatP N = MatP::Zero();
        VecP t = VecP::Zero();
        vQv = 0;
        for (Eigen::Index i = 0; i < n; ++i) {
            const PointModel<P> m = linearise<P>(x0, X(i, 0), X(i, 1), Y(i, 0), Y(i, 1), X(i, 0) - xm, X(i, 1) - ym);
            const Eigen::Vector4d& Qi = q[static_cast<std::size_t>(i)];
            const Eigen::Matrix2d M = m.A * Qi.asDiagonal() * m.A.transpose(); // A_i Q_i A_i^T
            const double det = M(0, 0) * M(1, 1) - M(0, 1) * M(1, 0);
            if (!(det > 0) || !std::isfinite(det))
                throw ComputationError("par2d_p: the observations of common point " +
                                       vezne.ime[static_cast<std::size_t>(i)] + " have no weight");
            Eigen::Matrix2d W; // M_i^-1
            W << M(1, 1) / det, -M(0, 1) / det, -M(1, 0) / det, M(0, 0) / det;
            const Eigen::Matrix<double, P, 2> BtW = m.B.transpose() * W;
            N.noalias() += BtW * m.B; // (2)
            t.noalias() += BtW * m.f;
            // Residuals of the observations, v_i = Q_i A_i^T M_i^-1 f_i, enter
            // v^T Q^-1 v as u^T Q_i u with u = A_i^T M_i^-1 f_i.
            const Eigen::Vector4d u = m.A.transpose() * (W * m.f);
            vQv += u.dot(Qi.asDiagonal() * u);
        }

        // Equilibrate before judging the rank: the columns of N differ by many
        // orders of magnitude between the dimensionless and the translation
        // parameters, which says nothing about the geometry.
        const VecP d = N.diagonal();
        if (!N.allFinite() || !t.allFinite() || !(d.minCoeff() > 0))
            throw ComputationError("par2d_p: singular normal matrix");
        const VecP s = d.cwiseSqrt().cwiseInverse();
        const MatP Ns = s.asDiagonal() * N * s.asDiagonal();
        if (!(Eigen::PartialPivLU<MatP>(Ns).rcond() >= kMinRcond))
            throw platform::Bilingual<ComputationError>("par2d_p: singular normal matrix (coincident or collinear common points)",
                "par2d_p: singularna normalna matrika (vezne točke sovpadajo ali ležijo na premici)");

        const VecP delta = centredToModel<P>(N.partialPivLu().solve(t), xm, ym);
        Nlast = N;
        if (!delta.allFinite())
            throw ComputationError("par2d_p: non-finite parameter correction");
        x0 += delta;
        ++iter;
        if (iter > kMaxIterations) {
            const std::string why = "no convergence in " + std::to_string(kMaxIterations) + " iterations with " +
                                    std::to_string(n) + " common points (points of the same name that do not match?)";
            platform::dialogs().errorBox("Iteracija ne konvergira!", "Napaka v izračunu parametrov", why);
            throw ComputationError("par2d_p: " + why);
        }
        maxd = delta.cwiseAbs().maxCoeff();
    }

    Par2dResult r;
    r.PAR = x0;
    r.m0 = std::sqrt(vQv / static_cast<double>(2 * n - P));
    // Covariance of the parameters m0^2 N^-1: N belongs to the centred
    // parameters, which map to the model's by the linear change C of
    // centredToModel, so Cov = m0^2 C N^-1 C^T.
    MatP C;
    for (int j = 0; j < P; ++j)
        C.col(j) = centredToModel<P>(VecP::Unit(j), xm, ym);
    const MatP cov = r.m0 * r.m0 * (C * Nlast.partialPivLu().inverse() * C.transpose());
    r.sdPAR = cov.diagonal().cwiseSqrt();
    r.iter = iter;
    r.vezne = std::move(vezne);
    return r;
}

} // namespace

Vezne commonPoints2d(const PointSet& vhi, const PointSet& vhv)
{
    if (static_cast<Eigen::Index>(vhi.ime.size()) != vhi.koo.rows() ||
        static_cast<Eigen::Index>(vhv.ime.size()) != vhv.koo.rows())
        throw ComputationError("common points: names and coordinate rows differ in number");

    const auto pairs = commonPoints(vhi.ime, vhv.ime);

    Vezne v;
    const auto n = static_cast<Eigen::Index>(pairs.size());
    v.i.resize(n, vhi.koo.cols());
    v.v.resize(n, vhv.koo.cols());
    v.ime.reserve(pairs.size());
    for (Eigen::Index k = 0; k < n; ++k) {
        const auto [i, j] = pairs[static_cast<std::size_t>(k)];
        v.i.row(k) = vhi.koo.row(i);
        v.v.row(k) = vhv.koo.row(j);
        v.ime.push_back(vhi.ime[static_cast<std::size_t>(i)]);
    }
    return v;
}

Par2dResult par2d_p(const PointSet& vhi, const PointSet& vhv, int nPar)
{
    if (nPar != 4 && nPar != 6)
        throw ComputationError("par2d_p: the plane transformation has 4 or 6 parameters");
    Vezne vezne = commonPoints2d(vhi, vhv);
    const Eigen::Index n = vezne.i.rows();
    if (n == 0)
        throw platform::Bilingual<ComputationError>("par2d_p: no common point (no name in both datums)",
            "par2d_p: ni veznih točk (nobeno ime ni v obeh datumih)");
    if (vezne.i.cols() < 2 || vezne.v.cols() < 2)
        throw ComputationError("par2d_p: common points need two coordinates");
    if (2 * n - nPar <= 0)
        throw platform::Bilingual<ComputationError>("par2d_p: " + std::to_string(n) + " common point(s), the " + std::to_string(nPar) +
                                                        "-parameter model needs at least " + std::to_string(nPar / 2 + 1),
                                                    "par2d_p: število veznih točk je " + std::to_string(n) + ", model s " +
                                                        std::to_string(nPar) + " parametri jih potrebuje vsaj " +
                                                        std::to_string(nPar / 2 + 1));
    if (!vezne.i.allFinite() || !vezne.v.allFinite())
        throw ComputationError("par2d_p: non-finite coordinates of common points");
    return nPar == 4 ? estimate<4>(std::move(vezne)) : estimate<6>(std::move(vezne));
}

} // namespace kolmo
