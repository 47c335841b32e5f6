// Biharmonic spline and the plot record of a plane computation.
#include "engine/obod_izr.h"
#include "engine/par2d_p.h"
#include "engine/tran2d_p.h"
#include "example_network.h"
#include "platform/errors.h"
#include "plots/biharmonic.h"
#include "plots/prik_izr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kolmo;

namespace {

Mat randomPoints(std::mt19937& rng, Eigen::Index n, double x0, double y0, double side)
{
    std::uniform_real_distribution<double> u(0, side);
    Mat P(n, 2);
    for (Eigen::Index i = 0; i < n; ++i)
        P.row(i) << x0 + u(rng), y0 + u(rng);
    return P;
}

PointSet points(const Names& ime, const Mat& koo)
{
    PointSet p;
    p.ime = ime;
    p.koo = koo;
    return p;
}

} // namespace

// Through every data value, both value sets from one system, on 100 km
// coordinates.  Between the data the surface equals the weighted sum of g.
TEST(BiharmonicSpline, InterpolatesTheData)
{
    std::mt19937 rng(42);
    const Mat P = randomPoints(rng, 30, 100000, 460000, 15000);
    const Mat Z = Mat::Random(30, 2) * 0.05;
    const BiharmonicSpline s(P, Z);
    EXPECT_LT((s(P) - Z).cwiseAbs().maxCoeff(), 1e-12);

    const Eigen::RowVector2d q(107000.5, 466000.25);
    Eigen::RowVector2d direct = Eigen::RowVector2d::Zero();
    for (Eigen::Index c = 0; c < P.rows(); ++c)
        direct += s.weights().row(c) * BiharmonicSpline::green((q - P.row(c)).norm());
    EXPECT_NEAR((s(q) - direct).cwiseAbs().maxCoeff(), 0, 1e-12);
}

TEST(BiharmonicSpline, SingularSystemsThrow)
{
    Mat P(3, 2);
    P << 0, 0, 10, 5, 0, 0;
    EXPECT_THROW(BiharmonicSpline(P, Mat::Ones(3, 1)), ComputationError);
    EXPECT_THROW(BiharmonicSpline(P.topRows(1), Mat::Ones(1, 1)), ComputationError);
    EXPECT_THROW(BiharmonicSpline(Mat(0, 2), Mat(0, 1)), ComputationError);
    P(2, 0) = 0.001; // a millimetre apart is still a proper system
    EXPECT_NO_THROW(BiharmonicSpline(P, Mat::Ones(3, 1)));
}

// Each row of the table compares with less-than.
TEST(PrikIzr, TickSpacing)
{
    const double dd[] = {99.9, 100, 999, 1000, 1999, 2000, 9999, 19999, 49999, 50000};
    const double D[] = {10, 100, 100, 200, 200, 500, 1000, 2000, 5000, 10000};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(tickSpacing(dd[k]), D[k]) << dd[k];
}

// The record from prik_izr2 against the residuals written exactly as the
// three nested passes over common, end and transformed points, on data with
// repeated names: a repeated name takes its last end and last start row.
TEST(PrikIzr, MatchesNestedPassesWithRepeatedNames)
{
    std::mt19937 rng(7);
    const Names startNames{"A", "B", "C", "A", "D", "E", "F", "C"};
    const Names endNames{"C", "A", "B", "E", "A", "D", "C", "G"};
    const Mat Yt = randomPoints(rng, 8, 100000, 460000, 1000); // larger side just below 1000 m
    PointSet vhv = points(endNames, randomPoints(rng, 8, 100000, 460000, 1000));
    PointSet vhi = points(startNames, Mat::Zero(8, 4));
    Rez rez;
    rez.koo = Yt;
    Vezne vezne;
    vezne.ime = {"A", "B", "C", "D", "E"};

    const Prik p = prik_izr2(vhi, vhv, rez, vezne);

    const auto nc = static_cast<Eigen::Index>(vezne.ime.size());
    Mat P(nc, 2), d(nc, 2);
    for (Eigen::Index c = 0; c < nc; ++c)
        for (std::size_t j = 0; j < endNames.size(); ++j)
            for (std::size_t k = 0; k < startNames.size(); ++k)
                if (endNames[j] == vezne.ime[c] && startNames[k] == vezne.ime[c]) {
                    P.row(c) = vhv.koo.row(j);
                    d.row(c) = vhv.koo.row(j) - Yt.row(k);
                }
    EXPECT_EQ(P.row(0), vhv.koo.row(4)); // "A": last end row 5, last start row 4
    const Mat corr = BiharmonicSpline(P, d)(Yt);
    EXPECT_EQ(p.vx, corr.col(0));
    EXPECT_EQ(p.vy, corr.col(1));
    EXPECT_EQ(p.XI, P.col(1));
    EXPECT_EQ(p.YI, P.col(0));
    EXPECT_EQ(p.Tx, Yt.col(1));
    EXPECT_EQ(p.Ty, Yt.col(0));
    EXPECT_EQ(p.tocke, vezne.ime);
    EXPECT_EQ(p.vset, startNames);
    EXPECT_EQ(p.D, 100);
    Mat A(nc, 2);
    A << P.col(1), P.col(0);
    const Obod o = obod_izr(A);
    EXPECT_EQ(p.obod, o.obodne);
    EXPECT_EQ(p.pov, o.pov);

    // prik_izr reads the projection coordinates instead.
    vhv.gk = vhv.koo;
    vhv.koo.setZero();
    rez.gk = Yt;
    rez.koo.resize(0, 0);
    const Prik g = prik_izr(vhi, vhv, rez, vezne);
    EXPECT_EQ(g.vx, p.vx);
    EXPECT_EQ(g.obod, p.obod);
}

TEST(PrikIzr, NetworkSizeAndFailures)
{
    Mat Y(4, 2);
    Y << 0, 0, 1000, 0, 1000, 500, 0, 500;
    PointSet vhv = points({"1", "2", "3", "4"}, Y);
    PointSet vhi = points({"1", "2", "3", "4"}, Mat::Zero(4, 4));
    Rez rez;
    rez.koo = Y;
    Vezne vezne;
    vezne.ime = vhv.ime;
    const Prik p = prik_izr2(vhi, vhv, rez, vezne);
    EXPECT_EQ(p.D, 200); // larger side exactly 1000 m
    EXPECT_DOUBLE_EQ(p.pov, 500000);
    rez.koo(1, 0) = rez.koo(2, 0) = 999;
    EXPECT_EQ(prik_izr2(vhi, vhv, rez, vezne).D, 100);

    vezne.ime = {"1", "5"};
    EXPECT_THROW(prik_izr2(vhi, vhv, rez, vezne), ComputationError);
    vezne.ime = {"1"};
    EXPECT_THROW(prik_izr2(vhi, vhv, rez, vezne), ComputationError);
    // A name listed twice among the common points: two at one position.
    vezne.ime = {"1", "1", "3"};
    EXPECT_THROW(prik_izr2(vhi, vhv, rez, vezne), ComputationError);
}

// The Ljubljana example network, four parameters: corrections at the common
// points come close to their residuals (but are evaluated at the transformed
// positions), and the corrected extra points agree with the plane report of
// that network (v_n, v_e to 0.5 mm, the area to 0.01 km^2).
TEST(PrikIzr, ExampleNetwork)
{
    const PointSet vhi = test::readPlanePoints("local/d48_gk_2d.pod");
    const PointSet vhv = test::readPlanePoints("local/d96_tm_2d.pod");
    const Par2dResult r = par2d_p(vhi, vhv, 4);
    const Rez rez = tran2d_p(vhi, r.PAR, 4);
    const Prik p = prik_izr2(vhi, vhv, rez, r.vezne);

    for (Eigen::Index c = 0; c < 12; ++c) {
        const double dx = vhv.koo(c, 0) - rez.koo(c, 0);
        EXPECT_NE(p.vx(c), dx);
        EXPECT_NEAR(p.vx(c), dx, 1e-5) << vhi.ime[static_cast<std::size_t>(c)];
    }
    const double vn[] = {0.009, -0.019, -0.005, 0.018, 0.008, 0.011, -0.005, 0.014};
    const double ve[] = {-0.024, -0.000, 0.009, 0.009, 0.017, -0.013, -0.011, -0.004};
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(p.vx(12 + k), vn[k], 0.0005) << vhi.ime[static_cast<std::size_t>(12 + k)];
        EXPECT_NEAR(p.vy(12 + k), ve[k], 0.0005) << vhi.ime[static_cast<std::size_t>(12 + k)];
    }
    EXPECT_NEAR(p.pov / 1e6, 149.53, 0.005);
    EXPECT_EQ(p.D, 2000);
    EXPECT_EQ(p.obod.row(0), p.obod.row(p.obod.rows() - 1));
}
