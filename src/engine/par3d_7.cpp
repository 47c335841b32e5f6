#include "engine/par3d_7.h"

#include "engine/vezne.h"

#include "engine/finv.h"
#include "engine/tran3d.h"
#include "geodesy/parelip.h"
#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>

#include <cmath>

// The adjustment in its textbook form, for n common points, observations
// l = (x_1, y_1, ..., x_n, y_n) (6n) and parameters p (7):
//
//   g_i(l, p) = d + s R x_i - y_i = 0                  condition equations (3n)
//   A = dg/dl    (3n x 6n),  rows of point i: [s R, -I] in columns 6i-5 .. 6i
//   B = dg/dp    (3n x 7),   rows of point i: [I, s dR/dalfa x_i,
//                             s dR/dbeta x_i, s dR/dgama x_i, R x_i]
//   f = -g(l, p0)            misclosures, f_i = y_i - d - s R x_i
//   Q = Z / s0   (6n x 6n),  diagonal variances, s0 = 1
//   M = A Q A^T,  N = B^T M^-1 B,  t = B^T M^-1 f,  delta = N^-1 t
//
// Every condition equation involves the observations of one point only, so A
// is block diagonal with 3 x 6 blocks A_i = [s R, -I] and Q with 6 x 6 blocks
// Q_i = diag(qx_i, qy_i).  Hence M is block diagonal with 3 x 3 blocks
//
//   M_i = A_i Q_i A_i^T = s^2 R diag(qx_i) R^T + diag(qy_i),
//
// M^-1 has the blocks Pe_i = M_i^-1, and
//
//   N = sum_i B_i^T Pe_i B_i,   t = sum_i B_i^T Pe_i f_i,
//
// which is the dense product term for term: the zero blocks contribute
// nothing.  Likewise the residuals v1 = Q A^T Pe f split into
// v1_i = Q_i A_i^T Pe_i f_i = (qx_i .* (s R^T w_i), -qy_i .* w_i) with
// w_i = Pe_i f_i.  Nothing of size 3n x 3n or 6n x 6n is ever formed, so time
// and memory grow linearly with n.
//
// Units.  Inside the iteration coordinates are in units of 100 000 m (so that
// the rotation and scale columns of B, of the order of the coordinates, and
// the unit translation columns are of comparable size), while the standard
// deviations stay in metres.  Q then carries a constant factor 1e10 relative
// to consistent units, which cancels in delta and in the products of
// accuracy below; only v1 needs the factor 1e5 back.

namespace kolmo {
namespace {

constexpr double kUnit = 100000.0;        // m per iteration length unit
constexpr double kTolerance = 1e-6;       // largest correction, iteration units
constexpr int kMaxCorrections = 30;
constexpr double kAlpha = 0.05;           // significance level of the tau test
// Reciprocal condition (after equilibration) below which N counts as
// singular: at that point the parameters carry fewer than two significant
// digits.  A network of any practical size (tens of metres and more) stays
// far above it; coincident and collinear point sets fall far below.
constexpr double kMinRcond = 1e-14;

using Mat3 = Eigen::Matrix3d;
using Vec3 = Eigen::Vector3d;
using Mat37 = Eigen::Matrix<double, 3, 7>;
using Mat7 = Eigen::Matrix<double, 7, 7>;
using Vec7 = Eigen::Matrix<double, 7, 1>;

// Rotation and its derivatives at the current parameters.
struct Linearisation {
    double s;
    Vec3 d;
    Mat3 R;
    Mat3 dRa, dRb, dRg; // dR/dalfa, dR/dbeta, dR/dgama

    explicit Linearisation(const Vec7& x0) : s(x0(6)), d(x0.head<3>())
    {
        const double ca = std::cos(x0(3)), sa = std::sin(x0(3));
        const double cb = std::cos(x0(4)), sb = std::sin(x0(4));
        const double cg = std::cos(x0(5)), sg = std::sin(x0(5));
        R = rot3d(x0(3), x0(4), x0(5));
        // d/dalfa moves D.2 into -D.3 and D.3 into D.2 (columns):
        //   row k: (0, -D(k,3), D(k,2))
        dRa << 0, -R(0, 2), R(0, 1), //
            0, -R(1, 2), R(1, 1),    //
            0, -R(2, 2), R(2, 1);
        dRb << -sb * cg, sa * cb * cg, -ca * cb * cg, //
            sb * sg, -sa * cb * sg, ca * cb * sg,     //
            cb, sa * sb, -ca * sb;
        // d/dgama: row 1 becomes row 2, row 2 becomes -row 1, row 3 is constant.
        dRg.row(0) = R.row(1);
        dRg.row(1) = -R.row(0);
        dRg.row(2).setZero();
    }

    // B_i (3 x 7): translation, rotation and scale columns.
    Mat37 B(const Vec3& x) const
    {
        Mat37 b;
        b.leftCols<3>().setIdentity();
        b.col(3) = s * (dRa * x);
        b.col(4) = s * (dRb * x);
        b.col(5) = s * (dRg * x);
        b.col(6) = R * x;
        return b;
    }
};

// What one point contributes at the current parameters.
struct PointTerms {
    Mat37 B;
    Mat3 Pe; // (A_i Q_i A_i^T)^-1
    Vec3 f;
};

PointTerms pointTerms(const Linearisation& L, const Vec3& x, const Vec3& y, const Vec3& qx, const Vec3& qy)
{
    PointTerms p;
    p.B = L.B(x);
    p.f = y - L.d - L.s * (L.R * x);
    const Mat3 M = L.s * L.s * (L.R * qx.asDiagonal() * L.R.transpose()) + Mat3(qy.asDiagonal());
    double det = 0;
    bool invertible = false;
    M.computeInverseAndDetWithCheck(p.Pe, det, invertible, 0.0);
    if (!invertible || !(det > 0) || !std::isfinite(det) || !p.Pe.allFinite())
        throw ComputationError("par3d_7: singular covariance block of a common point");
    return p;
}

// N^-1 and the solution of N delta = t through Cholesky on the equilibrated
// matrix D N D (D = diag(1/sqrt(N_jj))): the scaling changes nothing in exact
// arithmetic but lets the reciprocal condition judge singularity independently
// of the mixed units of the parameters.
struct NormalSolver {
    Vec7 D;
    Eigen::LLT<Mat7> llt;

    explicit NormalSolver(const Mat7& N)
    {
        for (int j = 0; j < 7; ++j) {
            if (!(N(j, j) > 0) || !std::isfinite(N(j, j)))
                throw ComputationError("par3d_7: singular normal matrix");
            D(j) = 1.0 / std::sqrt(N(j, j));
        }
        const Mat7 Ns = D.asDiagonal() * N * D.asDiagonal();
        llt.compute(Ns);
        // Exact 1-norm reciprocal condition; at order 7 the inverse costs
        // next to nothing.
        const Mat7 inv = llt.solve(Mat7::Identity());
        const double rcond = 1.0 / (Ns.cwiseAbs().colwise().sum().maxCoeff() *
                                    inv.cwiseAbs().colwise().sum().maxCoeff());
        if (llt.info() != Eigen::Success || !(rcond >= kMinRcond))
            throw platform::Bilingual<ComputationError>("par3d_7: singular normal matrix (coincident or collinear common points?)",
                "par3d_7: singularna normalna matrika (vezne točke sovpadajo ali ležijo na premici?)");
    }
    Vec7 solve(const Vec7& t) const { return D.asDiagonal() * llt.solve(D.asDiagonal() * t); }
    Mat7 inverse() const
    {
        return D.asDiagonal() * llt.solve(Mat7::Identity()) * D.asDiagonal();
    }
};

struct Normals {
    Mat7 N;
    Vec7 t;
};

Normals accumulate(const Linearisation& L, const Mat& X, const Mat& Y, const Mat& qx, const Mat& qy)
{
    Normals ne{Mat7::Zero(), Vec7::Zero()};
    for (Eigen::Index i = 0; i < X.rows(); ++i) {
        const PointTerms p = pointTerms(L, X.row(i).transpose(), Y.row(i).transpose(), qx.row(i).transpose(),
                                        qy.row(i).transpose());
        const Mat37 PB = p.Pe * p.B;
        ne.N.noalias() += p.B.transpose() * PB;
        ne.t.noalias() += PB.transpose() * p.f;
    }
    return ne;
}

} // namespace

Par3dResult par3d_7(const PointSet& vhi, const PointSet& vhv)
{
    if (vhi.kk.cols() < 6 || vhv.kk.cols() < 6)
        throw ComputationError("par3d_7: Cartesian coordinates need six columns (X, Y, Z and their sd)");
    if (static_cast<Eigen::Index>(vhi.ime.size()) != vhi.kk.rows() ||
        static_cast<Eigen::Index>(vhv.ime.size()) != vhv.kk.rows())
        throw ComputationError("par3d_7: point names and coordinates differ in number");

    // 1. Common points.
    const auto pairs = commonPoints(vhi.ime, vhv.ime);
    const Eigen::Index n = static_cast<Eigen::Index>(pairs.size());
    if (n < 3)
        throw platform::Bilingual<ComputationError>("par3d_7: " + std::to_string(n) +
                                                        " common point(s) (same name in both datums), at least 3 needed",
                                                    "par3d_7: število veznih točk (z istim imenom v obeh datumih) je " +
                                                        std::to_string(n) + ", potrebne so vsaj 3");

    Par3dResult res;
    Vezne& vezne = res.vezne;
    vezne.i.resize(n, vhi.kk.cols());
    vezne.v.resize(n, vhv.kk.cols());
    vezne.ime.reserve(n);
    for (Eigen::Index k = 0; k < n; ++k) {
        vezne.i.row(k) = vhi.kk.row(pairs[k].first);
        vezne.v.row(k) = vhv.kk.row(pairs[k].second);
        vezne.ime.push_back(vhi.ime[pairs[k].first]);
    }

    // 2. Working copies: coordinates in 100 km, variances in m^2.
    const Mat X = vezne.i.leftCols(3) / kUnit;
    const Mat Y = vezne.v.leftCols(3) / kUnit;
    const Mat qx = vezne.i.middleCols(3, 3).array().square().matrix();
    const Mat qy = vezne.v.middleCols(3, 3).array().square().matrix();
    if (!X.allFinite() || !Y.allFinite())
        throw ComputationError("par3d_7: non-finite coordinate of a common point");
    // A zero variance would make Q^-1 (in m0) infinite.
    if (!(qx.array() > 0).all() || !(qy.array() > 0).all() || !qx.allFinite() || !qy.allFinite())
        throw ComputationError("par3d_7: standard deviations must be non-zero and finite");

    // 3.-4. Iteration.
    Vec7 x0;
    x0 << 0, 0, 0, 0, 0, 0, 1;
    Vec7 xLast = x0; // parameters at the start of the last iteration
    double maxd = 1;
    int iter = 0;
    Mat7 N;
    while (maxd > kTolerance) {
        xLast = x0;
        const Normals ne = accumulate(Linearisation(x0), X, Y, qx, qy);
        const NormalSolver solver(ne.N);
        const Vec7 delta = solver.solve(ne.t);
        if (!delta.allFinite())
            throw ComputationError("par3d_7: non-finite parameter correction");
        N = ne.N;
        x0 += delta;
        ++iter;
        if (iter > kMaxCorrections) {
            const std::string why = "no convergence in " + std::to_string(kMaxCorrections) + " iterations with " +
                                    std::to_string(n) + " common points (points of the same name that do not match?)";
            platform::dialogs().errorBox("Iteracija ne konvergira!", "Napaka v izračunu parametrov", why);
            throw ComputationError("par3d_7: " + why);
        }
        maxd = delta.cwiseAbs().maxCoeff();
    }

    // 5. Returned units: m, arc seconds, ppm.
    constexpr double kRadToSec = 180.0 / kPi * 3600.0;
    res.PAR.resize(7);
    res.PAR << x0(0) * kUnit, x0(1) * kUnit, x0(2) * kUnit, x0(3) * kRadToSec, x0(4) * kRadToSec,
        x0(5) * kRadToSec, (x0(6) - 1) * 1e6;
    const Linearisation L(xLast);
    res.R = L.R;
    res.iter = iter;

    // 6.-7. Transformed common points and their differences in the end datum.
    vezne.t = tran3d(vezne.i, res.PAR, 7);
    const Mat v2 = vezne.t - vezne.v.leftCols(3); // n x 3, m

    // 9. Standard deviations of unit weight:
    //   v1 = Q A^T Pe f,  var1 = v1^T Q^-1 v1 / (3n - 7),
    //   var2 = v2 Qy^-1 v2^T / (3n - 7),
    // with A, Pe, f at the parameters of the last iteration.
    // 10. Accuracy of the transformed common points, per point i:
    //   Qdd = N^-1,  Qdx_i = -Qdd B_i^T Pe_i C_i Qx_i   (C_i = s R)
    //   Ztt = [Qdd Qdx_i; Qdx_i^T Qx_i],  J = [B_i C_i],  Zyt_i = J Ztt J^T
    // (y_t = d + s R x linearised in the parameters and the start coordinates,
    // with their covariance from the adjustment).
    const NormalSolver solver(N);
    const Mat7 Qdd = solver.inverse();
    const Mat3 C = L.s * L.R;
    double sum1 = 0, sum2 = 0;
    res.Zyt.resize(3 * n, 3);
    Eigen::Matrix<double, 10, 10> Ztt;
    Ztt.topLeftCorner<7, 7>() = Qdd;
    Eigen::Matrix<double, 3, 10> J;
    J.rightCols<3>() = C;
    for (Eigen::Index i = 0; i < n; ++i) {
        const Vec3 qxi = qx.row(i).transpose(), qyi = qy.row(i).transpose();
        const PointTerms p = pointTerms(L, X.row(i).transpose(), Y.row(i).transpose(), qxi, qyi);
        const Vec3 w = p.Pe * p.f;
        const Vec3 v1x = qxi.cwiseProduct(C.transpose() * w);
        const Vec3 v1y = -qyi.cwiseProduct(w);
        sum1 += v1x.cwiseAbs2().cwiseQuotient(qxi).sum() + v1y.cwiseAbs2().cwiseQuotient(qyi).sum();
        sum2 += v2.row(i).array().square().cwiseQuotient(qy.row(i).array()).sum();

        const Mat3 Qxi = qxi.asDiagonal();
        const Eigen::Matrix<double, 7, 3> Qdx = -Qdd * p.B.transpose() * p.Pe * C * Qxi;
        Ztt.topRightCorner<7, 3>() = Qdx;
        Ztt.bottomLeftCorner<3, 7>() = Qdx.transpose();
        Ztt.bottomRightCorner<3, 3>() = Qxi;
        J.leftCols<7>() = p.B;
        res.Zyt.middleRows<3>(3 * i) = J * Ztt * J.transpose();
    }
    const double redundancy = static_cast<double>(3 * n - 7);
    const double var1 = sum1 / redundancy;
    const double var2 = sum2 / redundancy;
    res.m0 = {std::sqrt(var1) * kUnit, std::sqrt(var2)};
    res.Zyt *= var2;

    // Standard deviations of the parameters, sqrt(var2 Qdd(j, j)).  With the
    // coordinates in 100 km and the variances in m^2, Qdd carries the factor
    // 1e10 of those units (see above): for the translations it is in m^2 as
    // it stands; the angles (rad) and the scale (1) lose the factor, hence
    // the division by 1e5 before the conversion to arc seconds and ppm.
    res.sdPAR.resize(7);
    for (int j = 0; j < 7; ++j) {
        const double sd = std::sqrt(var2 * Qdd(j, j));
        res.sdPAR(j) = j < 3 ? sd : j < 6 ? sd / kUnit * kRadToSec : sd / kUnit * 1e6;
    }

    // 11.-12. Standardised differences and Pope's tau test: per-coordinate
    // level alpha / 3n, tau_c = sqrt(r F / (r - 1 + F)), F = F^-1(1 - alpha/3n;
    // 1, r - 1), r = 3n - 7.  With an exact fit (var2 = 0) both the
    // differences and their covariance vanish; the ratios are then 0.
    const double stp = redundancy;
    const double fdist = finv(1 - kAlpha / (3.0 * n), 1, stp - 1);
    const double tauc = std::sqrt(stp * fdist / (stp - 1 + fdist));
    res.v_st.resize(3 * n);
    res.tau.resize(3 * n);
    for (Eigen::Index i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const Eigen::Index k = 3 * i + c;
            const double a = std::abs(v2(i, c));
            const double var = res.Zyt(k, c);
            const double vst = (var2 == 0 || a == 0) ? 0.0 : a / std::sqrt(var);
            res.v_st(k) = vst;
            res.tau(k) = vst / tauc;
        }

    if (!res.PAR.allFinite() || !std::isfinite(res.m0[0]) || !std::isfinite(res.m0[1]) || !res.Zyt.allFinite() ||
        !res.v_st.allFinite() || !res.tau.allFinite() || !vezne.t.allFinite() || !res.sdPAR.allFinite())
        throw ComputationError("par3d_7: non-finite result");
    return res;
}

} // namespace kolmo
