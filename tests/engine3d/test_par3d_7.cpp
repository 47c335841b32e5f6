// Seven-parameter estimation: synthetic round trips, the textbook dense
// adjustment as reference, weights, the tau test and the failure paths.
#include "engine/par3d_7.h"
#include "engine/vezne.h"
#include "engine/finv.h"
#include "engine/tran3d.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "synthetic.h"

#include <Eigen/LU>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kolmo;
using kolmo::test::helmertParameters;
using kolmo::test::syntheticPair;

namespace {

// The adjustment exactly in its textbook form, every matrix dense (A 3n x 6n,
// Z 6n x 6n, M inverted as a whole), B from the written-out derivatives, the
// common points by nested loops -- in long double, so that the comparison
// measures the error of the fast double-precision code rather than the sum of
// two rounding errors.  Only for small n.
using LMat = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
using LVec = Eigen::Matrix<long double, Eigen::Dynamic, 1>;
using LMat3 = Eigen::Matrix<long double, 3, 3>;

Par3dResult denseReference(const PointSet& vhi, const PointSet& vhv)
{
    Par3dResult r;
    Vezne& vz = r.vezne;
    std::vector<Eigen::Index> si, ei;
    for (size_t i = 0; i < vhi.ime.size(); ++i)
        for (size_t j = 0; j < vhv.ime.size(); ++j)
            if (vhi.ime[i] == vhv.ime[j]) {
                si.push_back(static_cast<Eigen::Index>(i));
                ei.push_back(static_cast<Eigen::Index>(j));
            }
    const Eigen::Index n = static_cast<Eigen::Index>(si.size());
    vz.i = vhi.kk(si, Eigen::all);
    vz.v = vhv.kk(ei, Eigen::all);
    for (auto i : si)
        vz.ime.push_back(vhi.ime[i]);
    LMat X = vz.i.cast<long double>(), Y = vz.v.cast<long double>();
    X.leftCols(3) /= 1e5L;
    Y.leftCols(3) /= 1e5L;

    LVec x0(7);
    x0 << 0, 0, 0, 0, 0, 0, 1;
    double maxd = 1;
    int iter = 0;
    LMat A, B, Q, N;
    LVec f;
    LMat3 R;
    while (maxd > 1e-6) {
        const long double dx = x0(0), dy = x0(1), dz = x0(2), s = x0(6);
        const long double ca = std::cos(x0(3)), sa = std::sin(x0(3)), cb = std::cos(x0(4)), sb = std::sin(x0(4)),
                     cg = std::cos(x0(5)), sg = std::sin(x0(5));
        const long double D11 = cb * cg, D12 = ca * sg + sa * sb * cg, D13 = sa * sg - ca * sb * cg;
        const long double D21 = -cb * sg, D22 = ca * cg - sa * sb * sg, D23 = sa * cg + ca * sb * sg;
        const long double D31 = sb, D32 = -sa * cb, D33 = ca * cb;
        R << D11, D12, D13, D21, D22, D23, D31, D32, D33;
        A = LMat::Zero(3 * n, 6 * n);
        B = LMat::Zero(3 * n, 7);
        f = LVec::Zero(3 * n);
        LMat Z = LMat::Zero(6 * n, 6 * n);
        for (Eigen::Index i = 0; i < n; ++i) {
            const long double x1 = X(i, 0), x2 = X(i, 1), x3 = X(i, 2);
            const Eigen::Index r0 = 3 * i, c0 = 6 * i;
            A.block(r0, c0, 3, 3) = s * R;
            A.block(r0, c0 + 3, 3, 3) = -LMat3::Identity();
            B.block(r0, 0, 3, 3).setIdentity();
            B(r0, 6) = x1 * D11 + x2 * D12 + x3 * D13;
            B(r0 + 1, 6) = x1 * D21 + x2 * D22 + x3 * D23;
            B(r0 + 2, 6) = x1 * D31 + x2 * D32 + x3 * D33;
            B(r0, 3) = s * (-x2 * D13 + x3 * D12);
            B(r0 + 1, 3) = s * (-x2 * D23 + x3 * D22);
            B(r0 + 2, 3) = s * (-x2 * D33 + x3 * D32);
            B(r0, 4) = s * (-x1 * sb * cg + x2 * sa * cb * cg - x3 * ca * cb * cg);
            B(r0 + 1, 4) = s * (x1 * sb * sg - x2 * sa * cb * sg + x3 * ca * cb * sg);
            B(r0 + 2, 4) = s * (x1 * cb + x2 * sa * sb - x3 * ca * sb);
            B(r0, 5) = s * (x1 * D21 + x2 * D22 + x3 * D23);
            B(r0 + 1, 5) = s * (-x1 * D11 - x2 * D12 - x3 * D13);
            B(r0 + 2, 5) = 0;
            f(r0) = Y(i, 0) - dx - s * B(r0, 6);
            f(r0 + 1) = Y(i, 1) - dy - s * B(r0 + 1, 6);
            f(r0 + 2) = Y(i, 2) - dz - s * B(r0 + 2, 6);
            for (int c = 0; c < 3; ++c) {
                Z(c0 + c, c0 + c) = X(i, 3 + c) * X(i, 3 + c);
                Z(c0 + 3 + c, c0 + 3 + c) = Y(i, 3 + c) * Y(i, 3 + c);
            }
        }
        Q = Z;
        const LMat Mi = (A * Q * A.transpose()).inverse();
        N = B.transpose() * Mi * B;
        const LVec delta = N.partialPivLu().solve(B.transpose() * Mi * f);
        x0 += delta;
        ++iter;
        if (iter > 30)
            throw ComputationError("reference: no convergence");
        maxd = delta.cwiseAbs().maxCoeff();
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    LVec par = x0;
    par.head(3) *= 1e5L;
    par.segment(3, 3) *= 180 / pi * 3600;
    par(6) = (par(6) - 1) * 1e6L;
    r.PAR = par.cast<double>();
    r.R = R.cast<double>();
    r.iter = iter;
    // tran3d with the unrounded parameters.
    const long double s = 1 + par(6) / 1e6L;
    const LMat3 Rf = [&] {
        const long double a = par(3) / 3600 * pi / 180, b = par(4) / 3600 * pi / 180, g = par(5) / 3600 * pi / 180;
        LMat3 m;
        m << std::cos(b) * std::cos(g), std::cos(a) * std::sin(g) + std::sin(a) * std::sin(b) * std::cos(g),
            std::sin(a) * std::sin(g) - std::cos(a) * std::sin(b) * std::cos(g), -std::cos(b) * std::sin(g),
            std::cos(a) * std::cos(g) - std::sin(a) * std::sin(b) * std::sin(g),
            std::sin(a) * std::cos(g) + std::cos(a) * std::sin(b) * std::sin(g), std::sin(b),
            -std::sin(a) * std::cos(b), std::cos(a) * std::cos(b);
        return m;
    }();
    const LMat xi = vz.i.leftCols(3).cast<long double>();
    const LMat t = (s * (xi * Rf.transpose())).rowwise() + par.head(3).transpose();
    vz.t = t.cast<double>();
    LVec v2(3 * n), qy(3 * n);
    for (Eigen::Index i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            v2(3 * i + c) = t(i, c) - static_cast<long double>(vz.v(i, c));
            qy(3 * i + c) = Y(i, 3 + c) * Y(i, 3 + c);
        }
    const LMat Pe = (A * Q * A.transpose()).inverse();
    const LVec v1 = Q * A.transpose() * Pe * f;
    const long double var1 = v1.dot(Q.inverse() * v1) / (3 * n - 7);
    const long double var2 = v2.dot(qy.cwiseInverse().asDiagonal() * v2) / (3 * n - 7);
    r.m0 = {double(std::sqrt(var1) * 1e5L), double(std::sqrt(var2))};
    const LMat Qdd = N.inverse();
    LMat Zyt = LMat::Zero(3 * n, 3 * n);
    for (Eigen::Index i = 0; i < n; ++i) {
        LMat3 Qxi = Q.block(6 * i, 6 * i, 3, 3);
        LMat Bi = B.middleRows(3 * i, 3), Pei = Pe.block(3 * i, 3 * i, 3, 3), Ci = A.block(3 * i, 6 * i, 3, 3);
        LMat Qdxi = -Qdd * Bi.transpose() * Pei * Ci * Qxi;
        LMat Ztt(10, 10);
        Ztt << Qdd, Qdxi, Qdxi.transpose(), Qxi;
        LMat J(3, 10);
        J << Bi, Ci;
        Zyt.block(3 * i, 3 * i, 3, 3) = J * Ztt * J.transpose();
    }
    Zyt *= var2;
    const double stp = 3.0 * n - 7;
    const double fd = finv(1 - 0.05 / (3.0 * n), 1, stp - 1);
    const long double tauc = std::sqrt(stp * fd / (stp - 1 + fd));
    r.v_st.resize(3 * n);
    r.tau.resize(3 * n);
    r.Zyt.resize(3 * n, 3);
    for (Eigen::Index k = 0; k < 3 * n; ++k) {
        r.v_st(k) = double(std::abs(v2(k)) / std::sqrt(Zyt(k, k)));
        r.tau(k) = double((std::abs(v2(k)) / std::sqrt(Zyt(k, k))) / tauc);
    }
    for (Eigen::Index i = 0; i < n; ++i)
        r.Zyt.middleRows(3 * i, 3) = Zyt.block(3 * i, 3 * i, 3, 3).cast<double>();
    return r;
}

// |a - b| <= rel * max|b| elementwise.
void expectRelClose(const Mat& a, const Mat& b, double rel, const char* what)
{
    ASSERT_EQ(a.rows(), b.rows()) << what;
    ASSERT_EQ(a.cols(), b.cols()) << what;
    const double scale = b.cwiseAbs().maxCoeff();
    EXPECT_LE((a - b).cwiseAbs().maxCoeff(), rel * scale) << what;
}

} // namespace

// End points made exactly from known parameters: two corrections (0.006, the
// 600 m translation in 100 km units, then ~6e-8) and the parameters back to
// the rounding of the coordinates.
TEST(Par3d7, SyntheticRoundTripConvergesInTwoIterations)
{
    const Vec truth = helmertParameters(500, -200, 600, 5, -3, 10, 8);
    auto s = syntheticPair(6, truth, 60e3, 0, 20240501u);
    const Par3dResult r = par3d_7(s.start, s.end);
    EXPECT_EQ(r.iter, 2);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(r.PAR(k), truth(k), 1e-7) << "translation " << k;
    for (int k = 3; k < 6; ++k)
        EXPECT_NEAR(r.PAR(k), truth(k), 1e-8) << "rotation " << k;
    EXPECT_NEAR(r.PAR(6), truth(6), 1e-8);
    // R is taken before the last (tiny) correction.
    const Eigen::Matrix3d Rtrue = rot3d(arcsecToRad(5), arcsecToRad(-3), arcsecToRad(10));
    EXPECT_LT((r.R - Rtrue).cwiseAbs().maxCoeff(), 1e-6);
    EXPECT_LT((r.vezne.t - s.end.kk.leftCols(3)).cwiseAbs().maxCoeff(), 1e-6);
    EXPECT_LT(r.m0[1], 1e-6);
    // m0(1) is formed with the misclosures at the start of the last
    // iteration, before its correction of ~6e-8 (6 mm): a few mm, not 0.
    EXPECT_LT(r.m0[0], 0.01);
}

TEST(Par3d7, IdenticalPointsGiveZeroParametersInOneIteration)
{
    auto s = syntheticPair(5, helmertParameters(0, 0, 0, 0, 0, 0, 0), 20e3, 0, 7u);
    s.end.kk = s.start.kk;
    const Par3dResult r = par3d_7(s.start, s.end);
    EXPECT_EQ(r.iter, 1);
    EXPECT_EQ(r.PAR, Vec::Zero(7));
    EXPECT_EQ(r.m0[0], 0.0);
    EXPECT_EQ(r.m0[1], 0.0);
    EXPECT_TRUE(r.R.isIdentity(0));
    // An exact fit: the ratios are defined as 0 rather than 0/0.
    EXPECT_EQ(r.v_st, Vec::Zero(15));
    EXPECT_EQ(r.tau, Vec::Zero(15));
    EXPECT_TRUE(r.Zyt.allFinite());
}

// The block-diagonal solution against the dense textbook adjustment, with
// noise and unequal standard deviations, at several sizes.
//
// Tolerances: the parameters agree to 1e-9 relative (measured <= 2e-10).  The
// quantities formed from small differences -- m0 and v_st from the 2 cm
// residuals of 4700 km coordinates, Zyt from the covariance terms of the
// translations, which cancel to a result ~cond(N) times smaller -- lose about
// eight digits in any double-precision evaluation: the double dense form
// differs from the long double one by ~4e-8 as well.  They are held to 5e-7
// (measured <= 1e-7).
TEST(Par3d7, AgreesWithDenseTextbookAdjustment)
{
    constexpr double kDerived = 5e-7;
    const Vec truth = helmertParameters(476.08, 125.947, 417.81, -4.61, -2.39, 11.94, 9.9);
    for (Eigen::Index n : {3, 4, 7, 12, 40}) {
        const unsigned seed = 1000u + static_cast<unsigned>(n);
        auto s = syntheticPair(n, truth, 30e3, 0.03, seed);
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> sd(0.005, 0.05);
        for (Eigen::Index i = 0; i < n; ++i)
            for (int c = 3; c < 6; ++c) {
                s.start.kk(i, c) = sd(rng);
                s.end.kk(i, c) = sd(rng);
            }
        SCOPED_TRACE("n = " + std::to_string(n) + ", seed " + std::to_string(seed));
        const Par3dResult fast = par3d_7(s.start, s.end);
        const Par3dResult ref = denseReference(s.start, s.end);
        EXPECT_EQ(fast.iter, ref.iter);
        expectRelClose(fast.PAR, ref.PAR, 1e-9, "PAR");
        expectRelClose(fast.R, ref.R, 1e-12, "R");
        EXPECT_NEAR(fast.m0[0], ref.m0[0], kDerived * ref.m0[0]);
        EXPECT_NEAR(fast.m0[1], ref.m0[1], kDerived * ref.m0[1]);
        expectRelClose(fast.vezne.t, ref.vezne.t, 1e-14, "vezne.t");
        expectRelClose(fast.Zyt, ref.Zyt, kDerived, "Zyt");
        expectRelClose(fast.v_st, ref.v_st, kDerived, "v_st");
        expectRelClose(fast.tau, ref.tau, kDerived, "tau");
        EXPECT_EQ(fast.vezne.ime, ref.vezne.ime);
        EXPECT_EQ(fast.vezne.i, ref.vezne.i);
        EXPECT_EQ(fast.vezne.v, ref.vezne.v);
    }
}

// Common points: every equal name, start order outside, end order inside;
// names compared exactly.  Checked against the nested scan on names with
// repeats, and on a small hand case.
TEST(Par3d7, CommonPointsFollowStartThenEndOrder)
{
    Names a{"A", "b", "C", "B", "D"}, b{"C", "B", "x", "A", "C"};
    const auto pairs = commonPoints(a, b);
    const std::vector<std::pair<Eigen::Index, Eigen::Index>> expect{{0, 3}, {2, 0}, {2, 4}, {3, 1}};
    EXPECT_EQ(pairs, expect);

    std::mt19937 rng(99);
    std::uniform_int_distribution<int> pick(0, 40);
    Names s, e;
    for (int i = 0; i < 60; ++i) {
        s.push_back(std::to_string(pick(rng)).insert(0, 1, 'P'));
        e.push_back(std::to_string(pick(rng)).insert(0, 1, 'P'));
    }
    std::vector<std::pair<Eigen::Index, Eigen::Index>> nested;
    for (Eigen::Index i = 0; i < 60; ++i)
        for (Eigen::Index j = 0; j < 60; ++j)
            if (s[i] == e[j])
                nested.emplace_back(i, j);
    EXPECT_EQ(commonPoints(s, e), nested);
}

TEST(Par3d7, PointsWithoutPartnerAreIgnored)
{
    const Vec truth = helmertParameters(10, 20, 30, 1, 2, 3, 4);
    auto s = syntheticPair(6, truth, 20e3, 0, 3u);
    PointSet start = s.start, end = s.end;
    start.ime[1] = "ONLY_START";
    end.ime[4] = "ONLY_END";
    end.ime[2] = "t3"; // case differs from "T3"
    const Par3dResult r = par3d_7(start, end);
    EXPECT_EQ(r.vezne.ime, (Names{"T1", "T4", "T6"}));
    EXPECT_EQ(r.vezne.i.row(1), start.kk.row(3));
    EXPECT_EQ(r.vezne.v.row(2), end.kk.row(5));
}

// A point with ten times the standard deviation carries a hundredth of the
// weight: the estimate moves most of the way to the one without that point.
// Scaling every standard deviation by c leaves the parameters alone and
// divides both m0 by c.
TEST(Par3d7, StandardDeviationsAreWeights)
{
    const Vec truth = helmertParameters(400, 100, 450, -4, -2, 12, 10);
    auto s = syntheticPair(8, truth, 15e3, 0.02, 4242u);
    s.end.kk.row(2).head(3) += Eigen::RowVector3d(0.5, -0.4, 0.3); // a disturbed point
    const Par3dResult equal = par3d_7(s.start, s.end);

    PointSet start = s.start, end = s.end;
    start.kk.row(2).tail(3).setConstant(10);
    end.kk.row(2).tail(3).setConstant(10);
    const Par3dResult down = par3d_7(start, end);

    PointSet s7 = s.start, e7 = s.end;
    s7.ime[2] = "gone";
    const Par3dResult without = par3d_7(s7, e7);

    const double dEqual = (equal.PAR - without.PAR).norm();
    const double dDown = (down.PAR - without.PAR).norm();
    EXPECT_LT(dDown, 0.05 * dEqual);
    // Its residual grows, since the others now fix the transformation.
    const double resEqual = (equal.vezne.t.row(2) - s.end.kk.row(2).head(3)).norm();
    const double resDown = (down.vezne.t.row(2) - s.end.kk.row(2).head(3)).norm();
    EXPECT_GT(resDown, resEqual);

    PointSet sc = s.start, ec = s.end;
    sc.kk.rightCols(3) *= 4;
    ec.kk.rightCols(3) *= 4;
    const Par3dResult scaled = par3d_7(sc, ec);
    expectRelClose(scaled.PAR, equal.PAR, 1e-9, "PAR");
    EXPECT_NEAR(scaled.m0[0], equal.m0[0] / 4, 1e-9 * equal.m0[0]);
    EXPECT_NEAR(scaled.m0[1], equal.m0[1] / 4, 1e-9 * equal.m0[1]);
    // The covariance of the transformed points scales as var2 * sd^2: unchanged.
    expectRelClose(scaled.Zyt, equal.Zyt, 1e-8, "Zyt");
}

// Unit weights, noise only in the end datum: m0(2) estimates the noise.
// A Q A^T = (1 + s^2) I, so were the misclosures those at the final
// parameters, m0(1) would be m0(2) / sqrt(1 + s^2); taken before the last
// correction (~6e-8, 6 mm) they add delta^T N delta / (3n - 7) to var1 --
// a few mm in quadrature.  Both are in metres: a check of the 100 km units.
TEST(Par3d7, UnitWeightStandardDeviations)
{
    const double sigma = 0.02;
    auto s = syntheticPair(400, helmertParameters(476, 126, 418, -4.6, -2.4, 11.9, 9.9), 50e3, sigma, 77u);
    const Par3dResult r = par3d_7(s.start, s.end);
    EXPECT_NEAR(r.m0[1], sigma, 0.1 * sigma);
    const double scale = 1 + r.PAR(6) * 1e-6;
    const double atFinal = r.m0[1] / std::sqrt(1 + scale * scale);
    EXPECT_GE(r.m0[0], atFinal);
    EXPECT_LT(r.m0[0] * r.m0[0] - atFinal * atFinal, 0.01 * 0.01);
}

// Critical values of Pope's test, seen through tau = v_st / tau_c.
TEST(Par3d7, TauCriticalValues)
{
    struct Case {
        Eigen::Index n;
        double fdist, tauc;
    };
    for (const Case c : {Case{3, 13130.56, 1.41416}, Case{4, 34.6368, 2.11716}, Case{10, 12.8224, 2.91018}}) {
        const double stp = 3.0 * c.n - 7;
        const double fd = finv(1 - 0.05 / (3.0 * c.n), 1, stp - 1);
        EXPECT_NEAR(fd, c.fdist, 1e-6 * c.fdist) << "n = " << c.n;
        auto s = syntheticPair(c.n, helmertParameters(1, 2, 3, 0, 0, 0, 0), 10e3, 0.01, 500u + unsigned(c.n));
        const Par3dResult r = par3d_7(s.start, s.end);
        for (Eigen::Index k = 0; k < r.tau.size(); ++k)
            if (r.v_st(k) > 0) {
                EXPECT_NEAR(r.v_st(k) / r.tau(k), c.tauc, 1e-5) << "n = " << c.n << ", k = " << k;
            }
    }
}

// A gross error of 1 m among 2 cm noise is the coordinate with tau > 1.
TEST(Par3d7, TauFlagsGrossError)
{
    auto s = syntheticPair(15, helmertParameters(400, 100, 450, -4, -2, 12, 10), 15e3, 0.02, 31u);
    s.end.kk(6, 1) += 1.0;
    const Par3dResult r = par3d_7(s.start, s.end);
    Eigen::Index worst;
    r.tau.maxCoeff(&worst);
    EXPECT_EQ(worst, 3 * 6 + 1);
    EXPECT_GT(r.tau(worst), 1.0);
}

// End points that bear no relation to the start points (scattered over
// 1000 km about a network of 40 km): no similarity comes near, the
// linearisation is poor everywhere and the corrections do not settle; the
// 31st is refused with the box.
TEST(Par3d7, NoConvergenceShowsBoxAndThrows)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        platform::RecordingDialogs rec;
        platform::ScopedDialogs guard(rec);
        auto s = syntheticPair(20, helmertParameters(0, 0, 0, 0, 0, 0, 0), 20e3, 1000e3, seed);
        EXPECT_THROW(par3d_7(s.start, s.end), ComputationError) << "seed " << seed;
        ASSERT_EQ(rec.boxes.size(), 1u) << "seed " << seed;
        EXPECT_EQ(rec.boxes[0], (platform::Box{platform::Box::Error, "Iteracija ne konvergira!",
                                               "Napaka v izračunu parametrov"}));
    }
}

// Failures without a box of their own: too few common points, a singular
// geometry, unusable standard deviations, missing columns.
TEST(Par3d7, UnusableDataThrowsWithoutBox)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs guard(rec);
    auto s = syntheticPair(6, helmertParameters(500, -200, 600, 5, -3, 10, 8), 20e3, 0, 5u);

    PointSet few = s.start;
    for (size_t i = 2; i < few.ime.size(); ++i)
        few.ime[i].insert(0, 1, 'X');
    EXPECT_THROW(par3d_7(few, s.end), ComputationError) << "two common points";
    PointSet none = s.start;
    for (auto& nm : none.ime)
        nm += "_";
    EXPECT_THROW(par3d_7(none, s.end), ComputationError) << "no common point";

    PointSet coincident = s.start;
    for (Eigen::Index i = 1; i < coincident.kk.rows(); ++i)
        coincident.kk.row(i) = coincident.kk.row(0);
    EXPECT_THROW(par3d_7(coincident, s.end), ComputationError) << "coincident start points";

    PointSet collinear = s.start, collinearEnd = s.end;
    for (Eigen::Index i = 0; i < collinear.kk.rows(); ++i)
        collinear.kk.row(i).head(3) =
            Eigen::RowVector3d(4200e3, 1150e3, 4700e3) + 1000.0 * double(i) * Eigen::RowVector3d(1, 2, 3);
    collinearEnd.kk.leftCols(3) = tran3d(collinear.kk, helmertParameters(500, -200, 600, 5, -3, 10, 8), 7);
    EXPECT_THROW(par3d_7(collinear, collinearEnd), ComputationError) << "collinear points";

    PointSet zeroSd = s.end;
    zeroSd.kk(3, 4) = 0;
    EXPECT_THROW(par3d_7(s.start, zeroSd), ComputationError) << "zero standard deviation";
    PointSet nanCoord = s.start;
    nanCoord.kk(0, 0) = std::nan("");
    EXPECT_THROW(par3d_7(nanCoord, s.end), ComputationError) << "NaN coordinate";

    PointSet narrow = s.start;
    narrow.kk.conservativeResize(Eigen::NoChange, 3);
    EXPECT_THROW(par3d_7(narrow, s.end), ComputationError) << "no standard deviations";

    EXPECT_TRUE(rec.boxes.empty());
}

// The standard deviations of the parameters (var2 N^-1 in the units of PAR)
// against the scatter of the estimates themselves: 400 networks of 10 points
// over 50 km whose end points carry 1 cm of noise (and say so), the start
// points none; the mean predicted deviation must match the observed one.  A
// mistake of units (the 100 km of the iteration, radians for arc seconds)
// would be off by powers of ten; the sampling error of 400 runs is about 4 %.
TEST(Par3d7, ParameterStandardDeviationsMatchTheScatterOfEstimates)
{
    const Vec truth = helmertParameters(476.08, 125.947, 417.81, -4.610862, -2.388137, 11.942335, 9.896638);
    constexpr int runs = 400;
    std::mt19937_64 rng(8689u);
    std::normal_distribution<double> noise(0.0, 0.01);
    auto s = syntheticPair(10, truth, 50e3, 0, 1996u);
    s.start.kk.rightCols(3).setConstant(1e-4);
    s.end.kk.rightCols(3).setConstant(0.01);
    const Mat exact = s.end.kk.leftCols(3);
    Vec sum = Vec::Zero(7), sum2 = Vec::Zero(7), predicted = Vec::Zero(7);
    for (int k = 0; k < runs; ++k) {
        for (Eigen::Index i = 0; i < exact.rows(); ++i)
            for (int c = 0; c < 3; ++c)
                s.end.kk(i, c) = exact(i, c) + noise(rng);
        const Par3dResult r = par3d_7(s.start, s.end);
        ASSERT_EQ(r.sdPAR.size(), 7);
        const Vec d = r.PAR - truth;
        sum += d;
        sum2 += d.cwiseAbs2();
        predicted += r.sdPAR;
    }
    for (int j = 0; j < 7; ++j) {
        const double mean = sum(j) / runs;
        const double observed = std::sqrt(sum2(j) / runs - mean * mean);
        const double expected = predicted(j) / runs;
        EXPECT_NEAR(observed / expected, 1.0, 0.15) << "parameter " << j << ": observed " << observed
                                                    << ", predicted " << expected;
    }
}
