#include "engine/kakovost.h"

#include "engine/tran2d_p.h"
#include "engine/tran3d.h"
#include "geodesy/parelip.h"
#include "platform/errors.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_chi_squared.hpp>
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

double alphaOfPointTest(double alpha0, double beta0, int q)
{
    if (q <= 1)
        return alpha0;
    const double sqrtLambda0 = boost::math::quantile(boost::math::complement(boost::math::normal(), alpha0 / 2)) +
                               boost::math::quantile(boost::math::normal(), beta0);
    // The critical value at which the non-central chi^2(q, lambda0) exceeds it
    // with probability beta0, and the central tail beyond it.
    const boost::math::non_central_chi_squared nc(q, sqrtLambda0 * sqrtLambda0);
    const double crit = boost::math::quantile(boost::math::complement(nc, beta0));
    return boost::math::cdf(boost::math::complement(boost::math::chi_squared(q), crit));
}

Eigen::MatrixXd transformedCovariance(const Kakovost& k, const Eigen::VectorXd& start)
{
    const int q = k.q, u = k.u;
    if (start.size() != q || k.par.size() != u || k.cov.rows() != u)
        throw ComputationError("transformed covariance: a point of " + std::to_string(q) + " coordinates");
    const auto apply = [&](const Vec& par) -> Eigen::VectorXd {
        Mat x(1, q);
        x.row(0) = start.transpose();
        if (u == 7)
            return tran3d(x, par, 7).row(0).head(3).transpose();
        PointSet p;
        p.koo = x;
        return tran2d_p(p, par, u).koo.row(0).head(2).transpose();
    };
    MatX J(q, u);
    for (int j = 0; j < u; ++j) {
        // Steps far above rounding and far below the parameters' sd: mm-level
        // for translations, 1e-4 arc seconds, 1e-4 ppm, 1e-9 of a coefficient.
        const bool translation = u == 7 ? j < 3 : (u == 4 ? j >= 2 : (j == 2 || j == 5));
        const double h = u == 7 ? (j < 3 ? 1e-3 : 1e-4) : (translation ? 1e-3 : 1e-9);
        Vec plus = k.par, minus = k.par;
        plus(j) += h;
        minus(j) -= h;
        J.col(j) = (apply(plus) - apply(minus)) / (2 * h);
    }
    MatX C = J * k.cov * J.transpose();
    if (q == 3) {
        const Eigen::Matrix3d E = localFrame(apply(k.par));
        C = E * C * E.transpose();
    }
    return C;
}

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

    // Coordinates, the local frames (rows n, e, up; plane: the identity) and
    // the covariances of the start and end coordinates, turned from the
    // local frame of the point into X, Y, Z.
    const MatX X = vezne.i.leftCols(q), Y = vezne.v.leftCols(q);
    std::vector<MatX> frameX(static_cast<std::size_t>(n)), frameY(static_cast<std::size_t>(n));
    std::vector<MatX> covX(static_cast<std::size_t>(n)), covY(static_cast<std::size_t>(n));
    bool finiteSd = true;
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        frameX[k] = frameY[k] = MatX::Identity(q, q);
        if (q == 3 && X.row(i).allFinite() && Y.row(i).allFinite()) {
            frameX[k] = localFrame(X.row(i).transpose());
            frameY[k] = localFrame(Y.row(i).transpose());
        }
        VecX vx(q), vy(q);
        for (int c = 0; c < q; ++c) {
            const double f = c < 2 ? o.horizontalFactor : o.heightFactor;
            vx(c) = f * std::pow(sdOr1(vezne.i, i, q + c), 2);
            vy(c) = f * std::pow(sdOr1(vezne.v, i, q + c), 2);
        }
        finiteSd = finiteSd && vx.allFinite() && vy.allFinite();
        covX[k] = frameX[k].transpose() * vx.asDiagonal() * frameX[k];
        covY[k] = frameY[k].transpose() * vy.asDiagonal() * frameY[k];
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
    if (!X.allFinite() || !Y.allFinite() || !finiteSd)
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
        const auto k = static_cast<std::size_t>(i);
        return MatX((t.Ax * covX[k] * t.Ax.transpose() + covY[k]) / w);
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
    double previous = std::numeric_limits<double>::infinity();
    // Iterate to rounding: until the correction (in metres at the network) is
    // below 1e-11 of the network's extent, or stops shrinking once it is below
    // a micrometre; the statistics come from a last linearisation at the
    // converged parameters.
    for (int pass = 0;; ++pass) {
        N.setZero();
        t.setZero();
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!usedAt(i))
                continue;
            const Terms tr = linearise(u, th, X.row(i).transpose() - xm, Y.row(i).transpose() - ym);
            const MatX P = inverse(cofactor(tr, i, weightAt(i)), i);
            const MatX BtP = tr.B.transpose() * P;
            N.noalias() += BtP * tr.B;
            t.noalias() += BtP * tr.f;
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
    k.apriori = o.sigma0 > 0;
    const int qt = (q == 3 && !o.heightsObserved) ? 2 : q;
    k.qt = qt;

    // First pass over the points: the matrices of every point, the shares
    // Omega_c of e^T P e and the redundancy numbers in the local frame.
    struct PointTerms {
        Terms tr;
        MatX M, P, Qee, E, Es;
    };
    std::vector<PointTerms> terms(static_cast<std::size_t>(n));
    k.tocke.resize(static_cast<std::size_t>(n));
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto ki = static_cast<std::size_t>(i);
        TockaKakovost& p = k.tocke[ki];
        PointTerms& pt = terms[ki];
        p.used = usedAt(i);
        p.weight = p.used ? weightAt(i) : 0.0;
        pt.tr = linearise(u, th, X.row(i).transpose() - xm, Y.row(i).transpose() - ym);
        pt.M = cofactor(pt.tr, i, p.used ? p.weight : 1.0);
        pt.P = inverse(pt.M, i);
        const MatX BNB = pt.tr.B * Ninv * pt.tr.B.transpose();
        pt.Qee = p.used ? MatX(pt.M - BNB) : MatX(pt.M + BNB);
        pt.E = frameY[ki];
        pt.Es = frameX[ki];
        // The standardised misclosures as if the point had weight 1: the
        // covariance of e_i is about M_i + (1 - 2w) B_i N^-1 B_i^T (M_i - B N^-1
        // B^T for a full observation, M_i + B N^-1 B^T for one left out).
        const double w = p.used ? std::min(p.weight, 1.0) : 0.0;
        const MatX M1 = p.used ? MatX(pt.M * p.weight) : pt.M;
        const MatX Qloc = pt.E * (M1 + (1 - 2 * w) * BNB) * pt.E.transpose();
        const VecX fl = pt.E * pt.tr.f;
        for (int c = 0; c < q; ++c)
            p.standardised(c) = Qloc(c, c) > 1e-12 * M1.trace() ? fl(c) / std::sqrt(Qloc(c, c)) : 0.0;
        if (!p.used)
            continue;
        const MatX Ploc = pt.E * pt.P * pt.E.transpose();
        const VecX Pfl = Ploc * fl;
        const MatX Rloc = pt.E * (pt.Qee * pt.P) * pt.E.transpose();
        for (int c = 0; c < q; ++c) {
            p.omega(c) = fl(c) * Pfl(c);
            p.redundancy(c) = Rloc(c, c);
            const double rEff = w * Rloc(c, c);
            if (c < 2) {
                k.omegaHorizontal += p.omega(c);
                k.rHorizontal += rEff;
            } else {
                k.omegaHeight += p.omega(c);
                k.rHeight += rEff;
            }
        }
    }
    k.omegaTested = k.omegaHorizontal + (qt == 3 ? k.omegaHeight : 0.0);
    k.dof = k.rHorizontal + (qt == 3 ? k.rHeight : 0.0);
    k.sigma0 = k.dof > 0 ? std::sqrt(std::max(k.omegaTested, 0.0) / k.dof) : 0.0;
    k.sigmaTest = k.apriori ? o.sigma0 : k.sigma0;
    // A bias of q components needs at least q redundancy (a priori), and the
    // a-posteriori test one more for the sigma without the point.
    k.testable = k.apriori ? k.dof >= qt - 1e-9 : k.dof - qt >= 1 - 1e-9;
    k.alphaPoint = alphaOfPointTest(o.alpha, o.beta, qt);
    if (k.apriori && k.dof > 1e-9) {
        k.globalStatistic = k.omegaTested / (o.sigma0 * o.sigma0);
        k.globalCritical =
            boost::math::quantile(boost::math::complement(boost::math::chi_squared(k.dof), o.alpha));
    } else {
        k.globalStatistic = k.globalCritical = kNaN;
    }

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
    k.cov = k.sigmaTest * k.sigmaTest * (G * Ninv * G.transpose());
    k.sd = k.cov.diagonal().cwiseSqrt();
    k.corr = k.cov;
    for (int a = 0; a < u; ++a)
        for (int b = 0; b < u; ++b)
            k.corr(a, b) = (k.sd(a) > 0 && k.sd(b) > 0) ? k.cov(a, b) / (k.sd(a) * k.sd(b)) : (a == b ? 1.0 : 0.0);

    // Per point: the tests of the tested components (C: their rows of the
    // local frame).  The point test decides at alpha_q, the w-tests at alpha0.
    const double sqrtLambda0 =
        boost::math::quantile(boost::math::complement(boost::math::normal(), o.alpha / 2)) +
        boost::math::quantile(boost::math::normal(), o.beta);
    const auto fQuantile = [&](double dof) {
        if (dof <= 0) // F(q, inf) = chi^2(q) / q
            return boost::math::quantile(boost::math::complement(boost::math::chi_squared(qt), k.alphaPoint)) / qt;
        return boost::math::quantile(boost::math::complement(boost::math::fisher_f(qt, dof), k.alphaPoint));
    };
    const double tCritUsed = !k.testable ? kNaN : k.apriori ? fQuantile(0) : fQuantile(k.dof - qt);
    const double tCritCheck = k.dof > 1e-9 ? fQuantile(k.apriori ? 0 : k.dof) : kNaN;
    const double wCritUsed = !k.testable ? kNaN : wCritical(o.alpha, k.apriori ? 0 : k.dof - qt);
    const double wCritCheck = k.dof > 1e-9 ? wCritical(o.alpha, k.apriori ? 0 : k.dof) : kNaN;

    for (Eigen::Index i = 0; i < n; ++i) {
        const auto ki = static_cast<std::size_t>(i);
        TockaKakovost& p = k.tocke[ki];
        const PointTerms& pt = terms[ki];
        const MatX C = pt.E.topRows(qt);
        // A used point: the bias enters its misclosure through M_i, so
        // a = P_i e_i, S = P_i Q_ee P_i, restricted to the tested
        // components.  A check: the bias is its misclosure, a = Q^-1 C e_i,
        // S = Q^-1 with Q = C Q_ee C^T (the same T).
        MatX S;
        VecX a;
        if (p.used) {
            S = C * (pt.P * pt.Qee * pt.P) * C.transpose();
            a = C * (pt.P * pt.tr.f);
        } else {
            S = inverse(MatX(C * pt.Qee * C.transpose()), i);
            a = S * (C * pt.tr.f);
        }
        Eigen::LDLT<MatX> ldlt(S);
        const VecX bias = ldlt.solve(a);
        const double omegaI = std::max(a.dot(bias), 0.0);
        p.fMf = pt.tr.f.dot(pt.P * pt.tr.f) / (p.used ? p.weight : 1.0);
        double sigma;
        if (k.apriori)
            sigma = o.sigma0;
        else if (p.used)
            sigma = k.testable ? std::sqrt(std::max(k.omegaTested - omegaI, 0.0) / (k.dof - qt)) : kNaN;
        else
            sigma = k.sigma0;
        // An exact fit, or no redundancy, leaves nothing to test against.
        const bool exact = !(sigma > 0) || (p.used && !k.testable);
        p.T = exact ? 0.0 : omegaI / (qt * sigma * sigma);
        p.Tcrit = p.used ? tCritUsed : tCritCheck;
        p.wCrit = p.used ? wCritUsed : wCritCheck;
        const VecX fLoc = pt.E * pt.tr.f;
        p.dominant = 0;
        for (int c = 0; c < q; ++c) {
            p.misclosure(c) = fLoc(c);
            if (c >= qt) {
                p.bias(c) = p.w(c) = p.mdb(c) = kNaN;
                continue;
            }
            p.bias(c) = bias(c);
            p.w(c) = exact ? 0.0 : a(c) / (sigma * std::sqrt(S(c, c)));
            p.mdb(c) = k.sigmaTest * sqrtLambda0 / std::sqrt(S(c, c));
            if (std::abs(p.w(c)) > std::abs(p.w(p.dominant)))
                p.dominant = c;
        }
        if (p.used) {
            const auto k2 = static_cast<std::size_t>(i);
            const VecX Pf = pt.P * pt.tr.f;
            const VecX vx = (covX[k2] / p.weight) * (pt.tr.Ax.transpose() * Pf);
            const VecX vy = -((covY[k2] / p.weight) * Pf);
            const VecX vxl = pt.Es * vx, vyl = pt.E * vy;
            for (int c = 0; c < q; ++c) {
                p.vStart(c) = vxl(c);
                p.vEnd(c) = vyl(c);
            }
            for (int c = qt; c < q; ++c)
                p.redundancy(c) = kNaN;
        } else {
            p.redundancy.setConstant(kNaN);
            p.vStart.setConstant(kNaN);
            p.vEnd.setConstant(kNaN);
        }
        if (q == 2) {
            p.redundancy(2) = p.vStart(2) = p.vEnd(2) = 0;
            p.bias(2) = p.w(2) = p.mdb(2) = 0;
        }
    }
    if (!k.par.allFinite() || !k.cov.allFinite() || !std::isfinite(k.sigma0))
        throw ComputationError("statistics of the estimation: non-finite result");
    return k;
}

} // namespace kolmo
