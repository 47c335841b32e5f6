// Plane four- and six-parameter estimation (Gauss-Helmert) and transformation.
#include "dense_reference.h"
#include "engine/par2d_p.h"
#include "engine/tran2d_p.h"
#include "example_network.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace kolmo;

namespace {

// Start points x, y with standard deviations; `map` gives the end point.
template <typename F>
std::pair<PointSet, PointSet> network(const Mat& start, F map)
{
    PointSet a, b;
    a.koo = Mat::Ones(start.rows(), 4);
    b.koo = Mat::Ones(start.rows(), 4);
    for (Eigen::Index i = 0; i < start.rows(); ++i) {
        std::string name = "T";
        name += std::to_string(i + 1);
        a.ime.push_back(name);
        b.ime.push_back(a.ime.back());
        a.koo.row(i).head<2>() = start.row(i).head<2>();
        const Eigen::Vector2d e = map(start(i, 0), start(i, 1));
        b.koo(i, 0) = e(0);
        b.koo(i, 1) = e(1);
    }
    return {a, b};
}

// Six points of a 10 km network at D48/GK-like coordinates.
Mat sixPoints()
{
    Mat s(6, 2);
    s << 100000, 460000, 104000, 462500, 108500, 457000, 95000, 466000, 101500, 455000, 97000, 469500;
    return s;
}

// The similarity of the example data: scale 1 + 10 ppm, 5" rotation, shift.
Eigen::Vector2d similarity(double x, double y)
{
    const double a = 1.00001 * std::cos(2.5e-5), b = 1.00001 * std::sin(2.5e-5);
    return {a * x - b * y + 497.06, b * x + a * y - 378.23};
}

void expectRelNear(const Vec& got, const Vec& want, double rel)
{
    ASSERT_EQ(got.size(), want.size());
    for (Eigen::Index k = 0; k < got.size(); ++k)
        EXPECT_NEAR(got(k), want(k), rel * std::max(1.0, std::abs(want(k)))) << "parameter " << k + 1;
}

} // namespace

TEST(Par2d, RotationByRightAngleWithShift)
{
    auto [a, b] = network(sixPoints(), [](double x, double y) { return Eigen::Vector2d(-y + 100, x + 200); });
    const Par2dResult r = par2d_p(a, b, 4);
    expectRelNear(r.PAR, Vec((Vec(4) << 0, 1, 100, 200).finished()), 1e-11);
    EXPECT_NEAR(r.m0, 0, 1e-8);
    EXPECT_EQ(r.vezne.ime, a.ime);
    EXPECT_EQ(r.vezne.i, a.koo);
    EXPECT_EQ(r.vezne.v, b.koo);
}

// Different scales in x and y: the affine model recovers its coefficients,
// the similarity cannot and leaves residuals.
TEST(Par2d, AffineMapDifferentScales)
{
    const Vec coef = (Vec(6) << 1.0002, 0.00003, 50.5, -0.00004, 0.9995, -30.25).finished();
    auto [a, b] = network(sixPoints(), [&](double x, double y) -> Eigen::Vector2d {
        return Eigen::Vector2d(coef(0) * x + coef(1) * y + coef(2), coef(3) * x + coef(4) * y + coef(5));
    });
    const Par2dResult six = par2d_p(a, b, 6);
    expectRelNear(six.PAR, coef, 1e-10);
    EXPECT_NEAR(six.m0, 0, 1e-6);
    EXPECT_GT(par2d_p(a, b, 4).m0, 0.1);
}

// The block-wise accumulation against the dense textbook matrices, on a
// network with local coordinates where the dense form is itself accurate.
TEST(Par2d, AgreesWithDenseAdjustment)
{
    for (unsigned seed : {11u, 12u, 13u}) {
        std::printf("seed %u\n", seed);
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> pos(-3000, 3000), sd(0.005, 0.05);
        std::normal_distribution<double> noise(0, 0.02);
        Mat start(7, 2);
        for (Eigen::Index i = 0; i < start.rows(); ++i)
            start.row(i) << pos(rng), pos(rng);
        auto [a, b] = network(start, [&](double x, double y) -> Eigen::Vector2d {
            return similarity(x, y) + Eigen::Vector2d(noise(rng), noise(rng));
        });
        for (Eigen::Index i = 0; i < a.koo.rows(); ++i) {
            a.koo.row(i).tail<2>() << sd(rng), sd(rng);
            b.koo.row(i).tail<2>() << sd(rng), sd(rng);
        }
        for (int nPar : {4, 6}) {
            const Par2dResult r = par2d_p(a, b, nPar);
            const auto d = test::denseGaussHelmert(r.vezne.i, r.vezne.v, nPar);
            EXPECT_EQ(r.iter, d.iter);
            expectRelNear(r.PAR, d.PAR, 1e-9);
            EXPECT_NEAR(r.m0, d.m0, 1e-9 * d.m0);
        }
    }
}

// With equal standard deviations every 2x2 block A_i Q A_i^T is the same
// matrix, so re-weighting changes nothing and the run ends after the second,
// zero correction; standard deviations that differ from point to point are
// re-weighted through the parameters and take a third.  (The dense form on
// these 100 km coordinates is only good to about 1e-6 m in the translations,
// the size of the threshold, and on some seeds takes a third step for equal
// weights; it serves here only as a loose check.)
TEST(Par2d, IterationCountsSixNoisyPoints)
{
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        std::printf("seed %u\n", seed);
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0, 0.02);
        std::uniform_real_distribution<double> sd(0.005, 0.05);
        auto [a, b] = network(sixPoints(), [&](double x, double y) -> Eigen::Vector2d {
            return similarity(x, y) + Eigen::Vector2d(noise(rng), noise(rng));
        });
        for (int nPar : {4, 6}) {
            const Par2dResult r = par2d_p(a, b, nPar);
            EXPECT_EQ(r.iter, 2) << "seed " << seed << " nPar " << nPar;
            const auto d = test::denseGaussHelmert(r.vezne.i, r.vezne.v, nPar);
            EXPECT_NEAR(r.PAR(2), d.PAR(2), 1e-5);
            EXPECT_NEAR(r.m0, d.m0, 1e-6 * d.m0);
        }
        for (Eigen::Index i = 0; i < a.koo.rows(); ++i) {
            a.koo.row(i).tail<2>().setConstant(sd(rng));
            b.koo.row(i).tail<2>().setConstant(sd(rng));
        }
        const Par2dResult r = par2d_p(a, b, 4);
        EXPECT_EQ(r.iter, 3) << "seed " << seed;
        const auto d = test::denseGaussHelmert(r.vezne.i, r.vezne.v, 4);
        EXPECT_NEAR(r.PAR(2), d.PAR(2), 1e-5);
        EXPECT_NEAR(r.m0, d.m0, 1e-6 * d.m0);
    }
}

// Common points: every pair of equal names, in the order of the start set,
// end points without partner ignored, case-sensitive.
TEST(Par2d, CommonPointsInStartOrder)
{
    PointSet a, b;
    a.ime = {"C", "A", "x", "B", "D"};
    a.koo = Mat::Random(5, 4);
    b.ime = {"A", "B", "C", "X", "A", "D"};
    b.koo = Mat::Random(6, 4);
    const Vezne v = commonPoints2d(a, b);
    EXPECT_EQ(v.ime, (Names{"C", "A", "A", "B", "D"}));
    const int startRow[] = {0, 1, 1, 3, 4}, endRow[] = {2, 0, 4, 1, 5};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(v.i.row(k), a.koo.row(startRow[k]));
        EXPECT_EQ(v.v.row(k), b.koo.row(endRow[k]));
    }
}

TEST(Par2d, UndeterminedProblemsThrow)
{
    auto [a, b] = network(sixPoints(), similarity);
    PointSet none = b;
    for (auto& n : none.ime)
        n.push_back('\'');
    EXPECT_THROW(par2d_p(a, none, 4), ComputationError);
    EXPECT_THROW(par2d_p(a, b, 5), ComputationError);

    // Redundancy 2n - nPar <= 0.
    PointSet two = b;
    two.ime.resize(2);
    two.koo.conservativeResize(2, 4);
    EXPECT_THROW(par2d_p(a, two, 4), ComputationError);
    PointSet three = b;
    three.ime.resize(3);
    three.koo.conservativeResize(3, 4);
    EXPECT_NO_THROW(par2d_p(a, three, 4));
    EXPECT_THROW(par2d_p(a, two, 6), ComputationError);

    // Collinear points fix no affine map; coincident ones not even a similarity.
    Mat line(5, 2);
    for (int i = 0; i < 5; ++i)
        line.row(i) << 100000 + 300.0 * i, 460000 + 700.0 * i;
    auto [la, lb] = network(line, similarity);
    EXPECT_NO_THROW(par2d_p(la, lb, 4));
    EXPECT_THROW(par2d_p(la, lb, 6), ComputationError);
    Mat same = line;
    same.rowwise() = line.row(0);
    auto [sa, sb] = network(same, similarity);
    EXPECT_THROW(par2d_p(sa, sb, 4), ComputationError);

    // End points without weight.
    PointSet exact = b;
    exact.koo.rightCols<2>().setZero();
    EXPECT_THROW(par2d_p(a, exact, 4), ComputationError);
}

// The weights depend on the scale through the start variances; with two groups
// that pull the scale to -1 and 3 and balance at 1, the iteration map has
// slope -2 there and oscillates.
TEST(Par2d, NoConvergenceShowsTheBoxAndThrows)
{
    PointSet a, b;
    a.koo.resize(8, 4);
    b.koo.resize(8, 4);
    const double dir[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int r = 0; r < 8; ++r) {
        const bool second = r >= 4;
        const double m = second ? 3 : -1;
        std::string name = "P";
        name += std::to_string(r);
        a.ime.push_back(name);
        b.ime.push_back(a.ime.back());
        a.koo.row(r) << dir[r % 4][0], dir[r % 4][1], second ? 1 : 0, second ? 1 : 0;
        b.koo.row(r) << m * dir[r % 4][0], m * dir[r % 4][1], second ? 0.1 : 1, second ? 0.1 : 1;
    }
    platform::RecordingDialogs rec;
    platform::ScopedDialogs guard(rec);
    EXPECT_THROW(par2d_p(a, b, 4), ComputationError);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0],
              (platform::Box{platform::Box::Error, "Iteracija ne konvergira!", "Napaka v izračunu parametrov"}));
}

TEST(Tran2d, AppliesBothModels)
{
    PointSet p;
    p.koo.resize(3, 4);
    p.koo << 100000, 460000, 0.1, 0.2, -5, 7, 1, 1, 0, 0, 1, 1;
    EXPECT_EQ(tran2d_p(p, Vec((Vec(4) << 1, 0, 0, 0).finished()), 4).koo, p.koo.leftCols<2>());
    const Rez r = tran2d_p(p, Vec((Vec(6) << 2, 3, 4, 5, 6, 7).finished()), 6);
    EXPECT_EQ(r.koo.row(1), (Eigen::RowVector2d{2 * -5 + 3 * 7 + 4, 5 * -5 + 6 * 7 + 7}));
    EXPECT_THROW(tran2d_p(p, Vec::Zero(4), 7), ComputationError);
    EXPECT_THROW(tran2d_p(p, Vec::Zero(4), 6), ComputationError);
}

// The Ljubljana example network (D48/GK -> D96/TM, 12 common points, 1-3 cm
// noise): the figures of the plane reports of that network.
TEST(Par2d, ExampleNetwork)
{
    const PointSet vhi = test::readPlanePoints("local/d48_gk_2d.pod");
    const PointSet vhv = test::readPlanePoints("local/d96_tm_2d.pod");
    ASSERT_EQ(vhi.size(), 20);
    const Par2dResult r4 = par2d_p(vhi, vhv, 4);
    EXPECT_EQ(r4.vezne.ime.size(), 12u);
    EXPECT_NEAR(r4.m0, 0.0185, 0.0005);
    EXPECT_EQ(r4.iter, 2);
    EXPECT_NEAR(r4.PAR(2), 497.0569, 5e-5);
    EXPECT_NEAR(r4.PAR(3), -378.2320, 5e-5);
    const Par2dResult r6 = par2d_p(vhi, vhv, 6);
    EXPECT_NEAR(r6.m0, 0.0175, 0.0005);
    EXPECT_EQ(r6.iter, 2);
    EXPECT_NEAR(r6.PAR(2), 496.2228, 5e-5);
    EXPECT_NEAR(r6.PAR(5), -378.9345, 5e-5);

    // Standard deviations from the files: re-weighting takes a third step.
    const Par2dResult sd = par2d_p(test::readPlanePoints("local/d48_gk_2d_sd.pod"),
                                   test::readPlanePoints("local/d96_tm_2d_sd.pod"), 4);
    EXPECT_NEAR(sd.m0, 1.158, 0.0005);
    EXPECT_EQ(sd.iter, 3);
}

// The standard deviations of the parameters (m0^2 N^-1, back from the centred
// form) against the scatter of the estimates: 400 networks whose end points
// carry 1 cm of noise and say so, the start points none.
TEST(Par2d, ParameterStandardDeviationsMatchTheScatterOfEstimates)
{
    std::mt19937_64 rng(3794u);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (int nPar : {4, 6}) {
        auto [start, end] = network(sixPoints(), similarity);
        start.koo.rightCols(2).setConstant(1e-5);
        end.koo.rightCols(2).setConstant(0.01);
        const Mat exact = end.koo.leftCols(2);
        const Vec truth = par2d_p(start, end, nPar).PAR;
        constexpr int runs = 400;
        const Eigen::Index p = nPar;
        Vec sum = Vec::Zero(p), sum2 = Vec::Zero(p), predicted = Vec::Zero(p);
        for (int k = 0; k < runs; ++k) {
            for (Eigen::Index i = 0; i < exact.rows(); ++i)
                for (int c = 0; c < 2; ++c)
                    end.koo(i, c) = exact(i, c) + noise(rng);
            const Par2dResult r = par2d_p(start, end, nPar);
            ASSERT_EQ(r.sdPAR.size(), p);
            const Vec d = r.PAR - truth;
            sum += d;
            sum2 += d.cwiseAbs2();
            predicted += r.sdPAR;
        }
        for (Eigen::Index j = 0; j < p; ++j) {
            const double mean = sum(j) / runs;
            const double observed = std::sqrt(sum2(j) / runs - mean * mean);
            EXPECT_NEAR(observed / (predicted(j) / runs), 1.0, 0.15)
                << nPar << " parameters, parameter " << j << ": observed " << observed;
        }
    }
}
