#include "engine/kakovost.h"

#include "engine/tran3d.h"
#include "geodesy/parelip.h"
#include "platform/errors.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace kolmo {
namespace {

using MatX = Eigen::MatrixXd;
using VecX = Eigen::VectorXd;

constexpr int kMaxIterations = 50;
constexpr double kRadToSec = 180.0 / kPi * 3600.0;
constexpr double kMinRcond = 1e-14;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Linearisation of the q condition equations of one point about the internal
// parameters th (centred coordinates xc, yc).
struct Terms {
    MatX Ax; // by the start coordinates (q x q); by the end ones it is -I
    MatX B;  // by the parameters (q x u)
    VecX f;  // misclosure yc - F(xc)
};

struct Rotation {
    Eigen::Matrix3d R, dRa, dRb, dRg;
    explicit Rotation(const VecX& th)
    {
        const double ca = std::cos(th(3)), sa = std::sin(th(3));
        const double cb = std::cos(th(4)), sb = std::sin(th(4));
        const double cg = std::cos(th(5)), sg = std::sin(th(5));
        R = rot3d(th(3), th(4), th(5));
        dRa << 0, -R(0, 2), R(0, 1), 0, -R(1, 2), R(1, 1), 0, -R(2, 2), R(2, 1);
        dRb << -sb * cg, sa * cb * cg, -ca * cb * cg, sb * sg, -sa * cb * sg, ca * cb * sg, cb, sa * sb, -ca * sb;
        dRg.row(0) = R.row(1);
        dRg.row(1) = -R.row(0);
        dRg.row(2).setZero();
    }
};

Terms linearise(int u, const VecX& th, const VecX& xc, const VecX& yc)
{
    Terms t;
    if (u == 7) {
        const Rotation r(th);
        const double s = th(6);
        t.Ax = s * r.R;
        t.B.resize(3, 7);
        t.B.leftCols(3).setIdentity();
        t.B.col(3) = s * (r.dRa * xc);
        t.B.col(4) = s * (r.dRb * xc);
        t.B.col(5) = s * (r.dRg * xc);
        t.B.col(6) = r.R * xc;
        t.f = yc - th.head(3) - s * (r.R * xc);
    } else if (u == 4) {
        t.Ax.resize(2, 2);
        t.Ax << th(0), -th(1), th(1), th(0);
        t.B.resize(2, 4);
        t.B << xc(0), -xc(1), 1, 0, xc(1), xc(0), 0, 1;
        t.f = yc - t.Ax * xc - th.segment(2, 2);
    } else {
        t.Ax.resize(2, 2);
        t.Ax << th(0), th(1), th(3), th(4);
        t.B.resize(2, 6);
        t.B << xc(0), xc(1), 1, 0, 0, 0, 0, 0, 0, xc(0), xc(1), 1;
        VecX tr(2);
        tr << th(2), th(5);
        t.f = yc - t.Ax * xc - tr;
    }
    return t;
}

// North, east, up of the ellipsoid normal at a geocentric point (rows).
Eigen::Matrix3d localFrame(const Eigen::Vector3d& X)
{
    constexpr double e2 = 0.00669438002290; // GRS-80
    const double p = std::hypot(X(0), X(1));
    const double fi = std::atan2(X(2), p * (1 - e2)), la = std::atan2(X(1), X(0));
    const double sf = std::sin(fi), cf = std::cos(fi), sl = std::sin(la), cl = std::cos(la);
    Eigen::Matrix3d E;
    E << -sf * cl, -sf * sl, cf, -sl, cl, 0, cf * cl, cf * sl, sf;
    return E;
}

// N^-1 through Cholesky of the equilibrated matrix, which also judges rank.
MatX inverseOfNormals(const MatX& N)
{
    const Eigen::Index u = N.rows();
    VecX D(u);
    for (Eigen::Index j = 0; j < u; ++j) {
        if (!(N(j, j) > 0) || !std::isfinite(N(j, j)))
            throw ComputationError("statistics of the estimation: singular normal matrix");
        D(j) = 1 / std::sqrt(N(j, j));
    }
    const MatX Ns = D.asDiagonal() * N * D.asDiagonal();
    const Eigen::LLT<MatX> llt(Ns);
    const MatX inv = llt.solve(MatX::Identity(u, u));
    const double rcond =
        1 / (Ns.cwiseAbs().colwise().sum().maxCoeff() * inv.cwiseAbs().colwise().sum().maxCoeff());
    if (llt.info() != Eigen::Success || !(rcond >= kMinRcond))
        throw ComputationError("statistics of the estimation: singular normal matrix (coincident or collinear "
                               "common points?)");
    return D.asDiagonal() * inv * D.asDiagonal();
}

double sdOr1(const Mat& m, Eigen::Index row, Eigen::Index col) { return col < m.cols() ? m(row, col) : 1.0; }

} // namespace

double wCritical(double alpha, double dof)
{
    if (dof <= 0)
        return boost::math::quantile(boost::math::complement(boost::math::normal(), alpha / 2));
    return boost::math::quantile(boost::math::complement(boost::math::students_t(dof), alpha / 2));
}

Kakovost kakovost(const Vezne& vezne, int u, const std::vector<bool>& usedIn, const std::vector<double>& weightsIn,
                  const KakovostOptions& o)
{
    if (u != 7 && u != 4 && u != 6)
        throw ComputationError("statistics of the estimation: 7, 4 or 6 parameters");
    const int q = u == 7 ? 3 : 2;
    const Eigen::Index n = static_cast<Eigen::Index>(vezne.ime.size());
    if (vezne.i.rows() != n || vezne.v.rows() != n || vezne.i.cols() < q || vezne.v.cols() < q)
        throw ComputationError("statistics of the estimation: common points without their coordinates");
    const auto usedAt = [&](Eigen::Index i) {
        return usedIn.empty() || usedIn[static_cast<std::size_t>(i)];
    };
    const auto weightAt = [&](Eigen::Index i) {
        return weightsIn.empty() ? 1.0 : weightsIn[static_cast<std::size_t>(i)];
    };

    // Coordinates, variances and the centroids of the used points.
    const MatX X = vezne.i.leftCols(q), Y = vezne.v.leftCols(q);
    MatX qx(n, q), qy(n, q);
    for (Eigen::Index i = 0; i < n; ++i)
        for (int c = 0; c < q; ++c) {
            qx(i, c) = std::pow(sdOr1(vezne.i, i, q + c), 2);
            qy(i, c) = std::pow(sdOr1(vezne.v, i, q + c), 2);
        }
    VecX xm = VecX::Zero(q), ym = VecX::Zero(q);
    int nUsed = 0;
    for (Eigen::Index i = 0; i < n; ++i)
        if (usedAt(i)) {
            if (!(weightAt(i) > 0) || !std::isfinite(weightAt(i)))
                throw ComputationError("statistics of the estimation: a used point needs a positive weight");
            xm += X.row(i).transpose();
            ym += Y.row(i).transpose();
            ++nUsed;
        }
    const int r = q * nUsed - u;
    if (r < 1)
        throw ComputationError("statistics of the estimation: " + std::to_string(nUsed) +
                               " used common point(s) leave no redundancy for " + std::to_string(u) + " parameters");
    if (!X.allFinite() || !Y.allFinite() || !qx.allFinite() || !qy.allFinite())
        throw ComputationError("statistics of the estimation: non-finite coordinates of common points");
    xm /= nUsed;
    ym /= nUsed;
    double extent = 1;
    for (Eigen::Index i = 0; i < n; ++i)
        if (usedAt(i))
            extent = std::max(extent, (X.row(i).transpose() - xm).cwiseAbs().maxCoeff());

    // Internal parameters: the identity to start with.
    VecX th = VecX::Zero(u);
    if (u == 7)
        th(6) = 1;
    else if (u == 4)
        th(0) = 1;
    else
        th(0) = th(4) = 1;

    // M_i (with the point's weight) and its inverse.
    const auto cofactor = [&](const Terms& t, Eigen::Index i, double w) {
        MatX M = t.Ax * qx.row(i).transpose().asDiagonal() * t.Ax.transpose();
        M.diagonal() += qy.row(i).transpose();
        return MatX(M / w);
    };
    const auto inverse = [&](const MatX& M, Eigen::Index i) {
        Eigen::FullPivLU<MatX> lu(M);
        if (!lu.isInvertible())
            throw ComputationError("statistics of the estimation: the observations of common point " +
                                   vezne.ime[static_cast<std::size_t>(i)] + " have no weight");
        return MatX(lu.inverse());
    };

    Kakovost k;
    k.u = u;
    k.q = q;
    MatX N(u, u);
    VecX t(u);
    double omega = 0;
    double previous = std::numeric_limits<double>::infinity();
    // Iterate to rounding: until the correction (in metres at the network) is
    // below 1e-11 of the network's extent, or stops shrinking once it is below
    // a micrometre; the statistics come from a last linearisation at the
    // converged parameters.
    for (int pass = 0;; ++pass) {
        N.setZero();
        t.setZero();
        omega = 0;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!usedAt(i))
                continue;
            const Terms tr = linearise(u, th, X.row(i).transpose() - xm, Y.row(i).transpose() - ym);
            const MatX P = inverse(cofactor(tr, i, weightAt(i)), i);
            const MatX BtP = tr.B.transpose() * P;
            N.noalias() += BtP * tr.B;
            t.noalias() += BtP * tr.f;
            omega += tr.f.dot(P * tr.f);
        }
        if (pass > 0 && (k.lastCorrection <= 1e-11 * extent || (k.lastCorrection < 1e-6 && k.lastCorrection >= 0.5 * previous)))
            break;
        if (pass >= kMaxIterations)
            throw ComputationError("statistics of the estimation: no convergence in " +
                                   std::to_string(kMaxIterations) + " iterations");
        const MatX Ninv = inverseOfNormals(N);
        const VecX delta = Ninv * t;
        if (!delta.allFinite())
            throw ComputationError("statistics of the estimation: non-finite parameter correction");
        th += delta;
        previous = pass > 0 ? k.lastCorrection : std::numeric_limits<double>::infinity();
        double corr = 0;
        for (int j = 0; j < u; ++j) {
            const bool translation = u == 7 ? j < 3 : (u == 4 ? j >= 2 : (j == 2 || j == 5));
            corr = std::max(corr, std::abs(delta(j)) * (translation ? 1.0 : extent));
        }
        k.lastCorrection = corr;
        k.iterations = pass + 1;
    }
    const MatX Ninv = inverseOfNormals(N);
    k.redundancy = r;
    k.sigma0 = std::sqrt(std::max(omega, 0.0) / r);
    k.apriori = o.sigma0 > 0;
    k.sigmaTest = k.apriori ? o.sigma0 : k.sigma0;

    // Parameters and covariance in the units of PAR: G is the Jacobian of
    // the model's parameters by the internal ones (the translations of the
    // centroids back to those of the origin, radians to arc seconds, scale to
    // ppm).
    MatX G = MatX::Identity(u, u);
    k.par = th;
    if (u == 7) {
        const Rotation rot(th);
        const Eigen::Vector3d xb = xm, yb = ym;
        k.par.head(3) = th.head(3) + yb - th(6) * (rot.R * xb);
        G.block(0, 3, 3, 1) = -th(6) * (rot.dRa * xb);
        G.block(0, 4, 3, 1) = -th(6) * (rot.dRb * xb);
        G.block(0, 5, 3, 1) = -th(6) * (rot.dRg * xb);
        G.block(0, 6, 3, 1) = -(rot.R * xb);
        for (int j = 3; j < 6; ++j) {
            k.par(j) *= kRadToSec;
            G.row(j) *= kRadToSec;
        }
        k.par(6) = (th(6) - 1) * 1e6;
        G.row(6) *= 1e6;
    } else if (u == 4) {
        k.par(2) = th(2) + ym(0) - th(0) * xm(0) + th(1) * xm(1);
        k.par(3) = th(3) + ym(1) - th(1) * xm(0) - th(0) * xm(1);
        G.row(2) << -xm(0), xm(1), 1, 0;
        G.row(3) << -xm(1), -xm(0), 0, 1;
    } else {
        k.par(2) = th(2) + ym(0) - th(0) * xm(0) - th(1) * xm(1);
        k.par(5) = th(5) + ym(1) - th(3) * xm(0) - th(4) * xm(1);
        G.row(2) << -xm(0), -xm(1), 1, 0, 0, 0;
        G.row(5) << 0, 0, 0, -xm(0), -xm(1), 1;
    }
    k.cov = k.sigma0 * k.sigma0 * (G * Ninv * G.transpose());
    k.sd = k.cov.diagonal().cwiseSqrt();
    k.corr = k.cov;
    for (int a = 0; a < u; ++a)
        for (int b = 0; b < u; ++b)
            k.corr(a, b) = (k.sd(a) > 0 && k.sd(b) > 0) ? k.cov(a, b) / (k.sd(a) * k.sd(b)) : (a == b ? 1.0 : 0.0);

    // Per point.
    const double sqrtLambda0 =
        boost::math::quantile(boost::math::complement(boost::math::normal(), o.alpha / 2)) +
        boost::math::quantile(boost::math::normal(), o.beta);
    const auto fQuantile = [&](double dof) {
        if (dof <= 0) // F(q, inf) = chi^2(q) / q
            return boost::math::quantile(boost::math::complement(boost::math::chi_squared(q), o.alpha)) / q;
        return boost::math::quantile(boost::math::complement(boost::math::fisher_f(q, dof), o.alpha));
    };
    const double tCritUsed = k.apriori ? fQuantile(0) : (r - q >= 1 ? fQuantile(r - q) : kNaN);
    const double tCritCheck = fQuantile(k.apriori ? 0 : r);
    const double wCritUsed = k.apriori ? wCritical(o.alpha, 0) : (r - q >= 1 ? wCritical(o.alpha, r - q) : kNaN);
    const double wCritCheck = wCritical(o.alpha, k.apriori ? 0 : r);

    k.tocke.resize(static_cast<std::size_t>(n));
    for (Eigen::Index i = 0; i < n; ++i) {
        TockaKakovost& p = k.tocke[static_cast<std::size_t>(i)];
        p.used = usedAt(i);
        p.weight = p.used ? weightAt(i) : 0.0;
        const Terms tr = linearise(u, th, X.row(i).transpose() - xm, Y.row(i).transpose() - ym);
        const MatX M = cofactor(tr, i, p.used ? p.weight : 1.0);
        const MatX P = inverse(M, i);
        const MatX BNB = tr.B * Ninv * tr.B.transpose();
        const MatX Qee = p.used ? MatX(M - BNB) : MatX(M + BNB);
        // A used point: the bias enters its misclosure through M_i, so
        // a = P_i e_i, S = P_i Q_ee P_i.  A check: the bias is its misclosure,
        // a = Q_ee^-1 e_i, S = Q_ee^-1 (the same T).
        const MatX S = p.used ? MatX(P * Qee * P) : inverse(Qee, i);
        const VecX a = p.used ? VecX(P * tr.f) : VecX(S * tr.f);
        Eigen::LDLT<MatX> ldlt(S);
        const VecX bias = ldlt.solve(a);
        const double omegaI = std::max(a.dot(bias), 0.0);
        p.fMf = tr.f.dot(P * tr.f) / (p.used ? p.weight : 1.0);
        MatX E = MatX::Identity(q, q), Es = MatX::Identity(q, q);
        if (q == 3) {
            E = localFrame(Y.row(i).transpose());
            Es = localFrame(X.row(i).transpose());
        }
        double sigma;
        if (k.apriori)
            sigma = o.sigma0;
        else if (p.used)
            sigma = r - q >= 1 ? std::sqrt(std::max(omega - omegaI, 0.0) / (r - q)) : kNaN;
        else
            sigma = k.sigma0;
        // An exact fit leaves nothing to test against.
        const bool exact = !(sigma > 0);
        p.T = exact ? 0.0 : omegaI / (q * sigma * sigma);
        p.Tcrit = p.used ? tCritUsed : tCritCheck;
        p.wCrit = p.used ? wCritUsed : wCritCheck;
        const VecX aLoc = E * a;
        const MatX SLoc = E * S * E.transpose();
        const VecX fLoc = E * tr.f, bLoc = E * bias;
        for (int c = 0; c < q; ++c) {
            p.misclosure(c) = fLoc(c);
            p.bias(c) = bLoc(c);
            p.w(c) = exact ? 0.0 : aLoc(c) / (sigma * std::sqrt(SLoc(c, c)));
            p.mdb(c) = k.sigmaTest * sqrtLambda0 / std::sqrt(SLoc(c, c));
            if (std::abs(p.w(c)) > std::abs(p.w(p.dominant)))
                p.dominant = c;
        }
        if (p.used) {
            const MatX Rloc = E * (Qee * P) * E.transpose();
            const VecX Pf = P * tr.f;
            const VecX vx = (qx.row(i).transpose() / p.weight).asDiagonal() * (tr.Ax.transpose() * Pf);
            const VecX vy = -((qy.row(i).transpose() / p.weight).asDiagonal() * Pf);
            const VecX vxl = Es * vx, vyl = E * vy;
            for (int c = 0; c < q; ++c) {
                p.redundancy(c) = Rloc(c, c);
                p.vStart(c) = vxl(c);
                p.vEnd(c) = vyl(c);
            }
        } else {
            p.redundancy.setConstant(kNaN);
            p.vStart.setConstant(kNaN);
            p.vEnd.setConstant(kNaN);
        }
        if (q == 2) {
            p.redundancy(2) = p.vStart(2) = p.vEnd(2) = 0;
        }
    }
    if (!k.par.allFinite() || !k.cov.allFinite() || !std::isfinite(k.sigma0))
        throw ComputationError("statistics of the estimation: non-finite result");
    return k;
}

} // namespace kolmo
