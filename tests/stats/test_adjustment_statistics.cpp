// The statistics of the converged adjustment against simulation, where a
// geodesist would read them: standard deviations given for north, east and
// height, heights that are no observations, the robust weights at leverage
// points, the power of the point test at the reported MDB, the global test
// and the variance components.  Seeded Monte Carlo of a few hundred networks.
#include "app/analiza_vez.h"
#include "engine/tran2d_p.h"
#include "engine/tran3d.h"
#include "geodesy/parelip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kolmo;

namespace {

constexpr double kA = 6378137, kE2 = 0.00669438002290;

// Rows north, east, up at a geocentric point (GRS-80).
Eigen::Matrix3d frameAt(const Eigen::Vector3d& X)
{
    const double p = std::hypot(X(0), X(1));
    const double fi = std::atan2(X(2), p * (1 - kE2)), la = std::atan2(X(1), X(0));
    const double sf = std::sin(fi), cf = std::cos(fi), sl = std::sin(la), cl = std::cos(la);
    Eigen::Matrix3d E;
    E << -sf * cl, -sf * sl, cf, -sl, cl, 0, cf * cl, cf * sl, sf;
    return E;
}

Eigen::Vector3d geocentric(double fiDeg, double laDeg, double h)
{
    const double fi = fiDeg * kPi / 180, la = laDeg * kPi / 180;
    const double N = kA / std::sqrt(1 - kE2 * std::sin(fi) * std::sin(fi));
    return {(N + h) * std::cos(fi) * std::cos(la), (N + h) * std::cos(fi) * std::sin(la),
            (N * (1 - kE2) + h) * std::sin(fi)};
}

struct Net {
    PointSet start, end;
    Vec truth;
    Mat trueStart; // noise-free start coordinates
};

struct Sim {
    int u = 7;
    int n = 12;
    double sn = 0.01, se = 0.01, sh = 0.01; // noise of n, e, h (plane: n, e) in both datums
    bool writeSd = false;                   // the files give sn, se, sh (else unit standard deviations)
    bool leverage = false;                  // the last point 25 km outside the cluster
};

// A network about Ljubljana (3r7: 30 km across, heights 0-600 m; plane: x
// about 100 km, y about 500 km), end = true transformation of the start, both
// with noise of the given standard deviations in the local frame.
Net simulate(const Sim& s, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uni(-1, 1);
    std::normal_distribution<double> g(0, 1);
    Net w;
    const int q = s.u == 7 ? 3 : 2;
    Mat xs(s.n, q);
    for (int i = 0; i < s.n; ++i) {
        w.start.ime.push_back(std::string(1, 'T').append(std::to_string(i + 1)));
        const bool far = s.leverage && i == s.n - 1;
        if (s.u == 7)
            xs.row(i) = geocentric(46.05 + (far ? 0.35 : 0.12 * uni(rng)), 14.5 + (far ? 0.0 : 0.18 * uni(rng)),
                                   300 + 300 * uni(rng))
                            .transpose();
        else
            xs.row(i) << 100e3 + (far ? 35e3 : 12e3 * uni(rng)), 500e3 + (far ? 0.0 : 15e3 * uni(rng));
    }
    w.trueStart = xs;
    w.truth.resize(s.u);
    if (s.u == 7)
        w.truth << 476.08, 125.947, 417.81, -4.61, -2.39, 11.94, 9.9;
    else if (s.u == 4)
        w.truth << 1.00001, 2.5e-5, 497.06, -378.23;
    else
        w.truth << 1.00001, 2e-5, 497.06, -3e-5, 0.99998, -378.23;
    Mat ys;
    if (s.u == 7) {
        ys = tran3d(xs, w.truth, 7);
    } else {
        PointSet p;
        p.koo = xs;
        ys = tran2d_p(p, w.truth, s.u).koo;
    }
    Mat& a = s.u == 7 ? w.start.kk : w.start.koo;
    Mat& b = s.u == 7 ? w.end.kk : w.end.koo;
    a = Mat::Ones(s.n, 2 * q);
    b = Mat::Ones(s.n, 2 * q);
    const Eigen::Vector3d sd(s.sn, s.se, s.sh);
    for (int i = 0; i < s.n; ++i) {
        for (Mat* m : {&a, &b}) {
            const Mat& clean = m == &a ? xs : ys;
            if (q == 3) {
                const Eigen::Matrix3d E = frameAt(clean.row(i).transpose());
                const Eigen::Vector3d e(sd(0) * g(rng), sd(1) * g(rng), sd(2) * g(rng));
                m->row(i).head(3) = clean.row(i) + (E.transpose() * e).transpose();
            } else {
                (*m)(i, 0) = clean(i, 0) + sd(0) * g(rng);
                (*m)(i, 1) = clean(i, 1) + sd(1) * g(rng);
            }
            if (s.writeSd)
                for (int c = 0; c < q; ++c)
                    (*m)(i, q + c) = sd(c);
        }
    }
    w.end.ime = w.start.ime;
    return w;
}

Vezne prepared(const Net& w, int u) { return analiziraj(w.start, w.end, u, {}).all; }

// Up at point i (3r7) or east (plane): a blunder of the last component.
Eigen::VectorXd lastAxis(const Net& w, int u, int i)
{
    if (u != 7)
        return Eigen::Vector2d(0, 1);
    return frameAt(w.end.kk.row(i).head(3).transpose()).row(2).transpose();
}

void addBlunder(Net& w, int u, int i, const Eigen::VectorXd& direction, double size)
{
    const int q = u == 7 ? 3 : 2;
    Mat& b = u == 7 ? w.end.kk : w.end.koo;
    b.row(i).head(q) += size * direction.transpose();
}

// Standard deviations of 5 mm horizontal and 20 mm in height, given in the
// files as those of north, east and height (--helmert off): the reported
// standard deviations of the parameters match the scatter of the estimates,
// sigma0 is 1, and the point tests keep their false-alarm rate.
TEST(AdjustmentStatistics, AnisotropicStandardDeviationsAreTurnedIntoTheLocalFrame)
{
    Sim s;
    s.sn = s.se = 0.005;
    s.sh = 0.020;
    s.writeSd = true;
    constexpr int runs = 400;
    Vec sum = Vec::Zero(7), sum2 = Vec::Zero(7), reported = Vec::Zero(7);
    double s0 = 0;
    int alarms = 0, tests = 0;
    double alpha = 0;
    for (int k = 0; k < runs; ++k) {
        const Net w = simulate(s, 3000u + static_cast<unsigned>(k));
        const Kakovost r = kakovost(prepared(w, 7), 7, {}, {}, {});
        const Vec d = r.par - w.truth;
        sum += d;
        sum2 += d.cwiseAbs2();
        reported += r.sd;
        s0 += r.sigma0;
        alpha = r.alphaPoint;
        for (const TockaKakovost& p : r.tocke) {
            alarms += p.fails() ? 1 : 0;
            ++tests;
        }
    }
    for (int j = 0; j < 7; ++j) {
        const double mean = sum(j) / runs, scatter = std::sqrt(sum2(j) / runs - mean * mean);
        const double ratio = reported(j) / runs / scatter;
        EXPECT_GT(ratio, 0.85) << "parameter " << j;
        EXPECT_LT(ratio, 1.15) << "parameter " << j;
    }
    EXPECT_NEAR(s0 / runs, 1.0, 0.05);
    const double rate = static_cast<double>(alarms) / tests;
    EXPECT_LT(rate, 2.5 * alpha) << "false alarms " << rate << " at alpha " << alpha;
    std::printf("[ figures ] anisotropic sd: sigma0 %.3f, false alarms %.4f at alpha %.4f\n", s0 / runs, rate, alpha);
    for (int j = 0; j < 7; ++j) {
        const double mean = sum(j) / runs;
        std::printf("[ figures ]   parameter %d: reported / scatter %.3f\n", j,
                    reported(j) / runs / std::sqrt(sum2(j) / runs - mean * mean));
    }
}

// Heights that are no observations: the heights get no test, no MDB and no
// redundancy number; sigma0 and the redundancy come from the horizontal
// components, so that a large height misclosure neither fails a point nor
// enters sigma0.
TEST(AdjustmentStatistics, HeightsThatAreNoObservationsAreNotTested)
{
    Sim s;
    Net w = simulate(s, 77u);
    addBlunder(w, 7, 4, lastAxis(w, 7, 4), 0.30);
    KakovostOptions o;
    o.heightsObserved = false;
    const Kakovost r = kakovost(prepared(w, 7), 7, {}, {}, o);
    EXPECT_EQ(r.qt, 2);
    EXPECT_NEAR(r.dof, r.rHorizontal, 1e-12);
    EXPECT_NEAR(r.rHorizontal + r.rHeight, r.redundancy, 1e-9);
    EXPECT_NEAR(r.sigma0, std::sqrt(r.omegaHorizontal / r.rHorizontal), 1e-15);
    EXPECT_NEAR(r.sigma0, 0.01, 0.004);
    for (const TockaKakovost& p : r.tocke) {
        EXPECT_TRUE(std::isnan(p.w(2)));
        EXPECT_TRUE(std::isnan(p.mdb(2)));
        EXPECT_TRUE(std::isnan(p.redundancy(2)));
        EXPECT_FALSE(p.fails()) << "a height error is no error of an observation";
    }
    const Kakovost all = kakovost(prepared(w, 7), 7, {}, {}, {});
    EXPECT_TRUE(all.tocke[4].fails()) << "as an observation it fails";
}

// Robust estimation where it is needed: a 50 cm blunder at a leverage point,
// a 30 cm blunder in height alone, two 15 cm blunders at once.  The
// blundered points lose their weight, the others keep it, and the effective
// redundancy no longer counts the down-weighted points.
TEST(AdjustmentStatistics, RobustEstimationFindsBlundersAtLeveragePointsAndInPairs)
{
    struct Case {
        const char* what;
        bool leverage;
        std::vector<int> bad;
        double size;
        bool height;
    };
    const std::vector<Case> cases{{"leverage point, 50 cm", true, {11}, 0.50, false},
                                  {"height only, 30 cm", false, {5}, 0.30, true},
                                  {"two at once, 15 cm", false, {2, 8}, 0.15, false}};
    for (const Case& c : cases)
        for (unsigned seed = 1; seed <= 3; ++seed) {
            Sim s;
            s.leverage = c.leverage;
            Net w = simulate(s, 400u + seed);
            for (const int i : c.bad) {
                Eigen::Vector3d dir = c.height ? Eigen::Vector3d(lastAxis(w, 7, i))
                                               : Eigen::Vector3d(frameAt(w.end.kk.row(i).head(3).transpose()).row(1).transpose());
                addBlunder(w, 7, i, dir, c.size);
            }
            AnalizaOptions o;
            o.robust = true;
            const AnalizaVez r = analiziraj(w.start, w.end, 7, o);
            ASSERT_TRUE(r.final);
            EXPECT_TRUE(r.robustConverged) << c.what;
            for (int i = 0; i < s.n; ++i) {
                const double wi = r.weights[static_cast<std::size_t>(i)];
                const bool bad = std::find(c.bad.begin(), c.bad.end(), i) != c.bad.end();
                if (bad)
                    EXPECT_LT(wi, 0.05) << c.what << ", seed " << seed << ", point " << i;
                else
                    EXPECT_GT(wi, 0.3) << c.what << ", seed " << seed << ", point " << i;
            }
            const double expected = 3.0 * (s.n - static_cast<int>(c.bad.size())) - 7;
            // The down-weighted points are no observations (good points of a
            // weight below 1 take a little more).
            EXPECT_LT(r.final->dof, expected + 0.01) << c.what;
            EXPECT_GT(r.final->dof, expected - 3) << c.what;
            EXPECT_LT(r.final->dof, r.final->redundancy - 2.5 * static_cast<double>(c.bad.size())) << c.what;
            const std::vector<std::string> warnings = analizaWarnings(r, o);
            bool named = false;
            for (const std::string& x : warnings)
                named = named || x.find("down-weighted") != std::string::npos;
            EXPECT_TRUE(named) << c.what;
            if (seed == 1)
                std::printf("[ figures ] robust, %s: weights of the blundered points %.2g\n", c.what,
                            r.weights[static_cast<std::size_t>(c.bad.front())]);
        }
}

// The point test decides at alpha_q of the B-method: 0.0055 for three
// components, 0.0028 for two at alpha0 0.001; a blunder of the reported MDB
// (sigma0 known) fails the point test about 80 % of the time.
TEST(AdjustmentStatistics, BlunderOfTheReportedMdbIsFoundWithPowerBeta0)
{
    EXPECT_NEAR(alphaOfPointTest(0.001, 0.80, 3), 0.0055, 0.0003);
    EXPECT_NEAR(alphaOfPointTest(0.001, 0.80, 2), 0.0028, 0.0002);
    EXPECT_DOUBLE_EQ(alphaOfPointTest(0.001, 0.80, 1), 0.001);
    for (const int u : {7, 4}) {
        Sim s;
        s.u = u;
        KakovostOptions o;
        o.sigma0 = 0.01;
        // Each network its own: the MDB of the height (east) of point 3
        // (it depends on the geometry alone), then a bias of that size.
        const int q = u == 7 ? 3 : 2;
        constexpr int runs = 400;
        int found = 0;
        for (int k = 0; k < runs; ++k) {
            Net w = simulate(s, 20000u + static_cast<unsigned>(k));
            const double mdb = kakovost(prepared(w, u), u, {}, {}, o).tocke[3].mdb(q - 1);
            addBlunder(w, u, 3, lastAxis(w, u, 3), mdb);
            const Kakovost r = kakovost(prepared(w, u), u, {}, {}, o);
            found += r.tocke[3].fails() ? 1 : 0;
        }
        const double power = static_cast<double>(found) / runs;
        std::printf("[ figures ] power at the MDB (%s): %.3f\n", u == 7 ? "3r7" : "2r4", power);
        EXPECT_NEAR(power, 0.80, 0.07) << "u = " << u;
    }
}

// The global test of the variance factor with sigma0 known: its false-alarm
// rate is alpha (0.05 here, for a rate that few runs can tell).
TEST(AdjustmentStatistics, GlobalTestHoldsItsFalseAlarmRate)
{
    for (const int u : {7, 6}) {
        Sim s;
        s.u = u;
        KakovostOptions o;
        o.sigma0 = 0.01;
        o.alpha = 0.05;
        constexpr int runs = 600;
        int alarms = 0;
        for (int k = 0; k < runs; ++k) {
            const Kakovost r = kakovost(prepared(simulate(s, 5000u + static_cast<unsigned>(k)), u), u, {}, {}, o);
            alarms += r.globalPasses() ? 0 : 1;
        }
        const double rate = static_cast<double>(alarms) / runs;
        std::printf("[ figures ] global test false alarms (u = %d): %.3f at alpha 0.05\n", u, rate);
        EXPECT_NEAR(rate, 0.05, 0.025);
    }
}

// Variance components of horizontal and height: 6 mm and 18 mm of noise
// come back within 15 %.
TEST(AdjustmentStatistics, VarianceComponentsRecoverHorizontalAndHeightNoise)
{
    Sim s;
    s.n = 15;
    s.sn = s.se = 0.006;
    s.sh = 0.018;
    constexpr int runs = 200;
    double h = 0, v = 0;
    for (int k = 0; k < runs; ++k) {
        const AnalizaVez a = analiziraj(simulate(s, 7000u + static_cast<unsigned>(k)).start,
                                        simulate(s, 7000u + static_cast<unsigned>(k)).end, 7, {});
        ASSERT_TRUE(a.components);
        h += a.components->horizontal * a.components->horizontal;
        v += a.components->height * a.components->height;
    }
    h = std::sqrt(h / runs);
    v = std::sqrt(v / runs);
    std::printf("[ figures ] variance components: horizontal %.2f mm (truth 6), height %.2f mm (truth 18)\n", h * 1000,
                v * 1000);
    EXPECT_NEAR(h / 0.006, 1.0, 0.15);
    EXPECT_NEAR(v / 0.018, 1.0, 0.15);
}

// A new point 15 km outside the network, transformed with the estimated
// parameters: the standard deviations propagated from their covariance match
// the scatter of its transformed position about the truth.
TEST(AdjustmentStatistics, PrecisionOfANewPointOutsideTheNetwork)
{
    for (const int u : {7, 4, 6}) {
        Sim s;
        s.u = u;
        const int q = u == 7 ? 3 : 2;
        Eigen::VectorXd x(q);
        if (u == 7)
            x = geocentric(46.05 + 0.12 + 15e3 / 111e3, 14.5, 400);
        else
            x << 100e3 + 12e3 + 15e3, 500e3;
        constexpr int runs = 400;
        Eigen::VectorXd sum = Eigen::VectorXd::Zero(q), sum2 = Eigen::VectorXd::Zero(q), var = Eigen::VectorXd::Zero(q);
        for (int k = 0; k < runs; ++k) {
            const Net w = simulate(s, 40000u + static_cast<unsigned>(k));
            const Kakovost r = kakovost(prepared(w, u), u, {}, {}, {});
            Mat one(1, q);
            one.row(0) = x.transpose();
            Eigen::VectorXd got(q), truth(q);
            if (u == 7) {
                got = tran3d(one, r.par, 7).row(0).head(3).transpose();
                truth = tran3d(one, w.truth, 7).row(0).head(3).transpose();
                const Eigen::Matrix3d E = frameAt(truth);
                got = E * got;
                truth = E * truth;
            } else {
                PointSet p;
                p.koo = one;
                got = tran2d_p(p, r.par, u).koo.row(0).head(2).transpose();
                truth = tran2d_p(p, w.truth, u).koo.row(0).head(2).transpose();
            }
            const Eigen::VectorXd d = got - truth;
            sum += d;
            sum2 += d.cwiseAbs2();
            var += transformedCovariance(r, x).diagonal();
        }
        for (int c = 0; c < q; ++c) {
            const double mean = sum(c) / runs, scatter = std::sqrt(sum2(c) / runs - mean * mean);
            const double ratio = std::sqrt(var(c) / runs) / scatter;
            std::printf("[ figures ] new point 15 km outside (u = %d), component %d: reported / scatter %.3f\n", u, c,
                        ratio);
            EXPECT_GT(ratio, 0.85) << u << " " << c;
            EXPECT_LT(ratio, 1.15) << u << " " << c;
        }
    }
}

// An a-priori sigma0 enters the covariance, not the tests alone.
TEST(AdjustmentStatistics, AprioriSigmaScalesTheCovariance)
{
    const Net w = simulate(Sim{}, 11u);
    const Kakovost post = kakovost(prepared(w, 7), 7, {}, {}, {});
    KakovostOptions o;
    o.sigma0 = 0.02;
    const Kakovost prior = kakovost(prepared(w, 7), 7, {}, {}, o);
    for (int j = 0; j < 7; ++j)
        EXPECT_NEAR(prior.sd(j), post.sd(j) * 0.02 / post.sigma0, 1e-9 * post.sd(j));
}

} // namespace
