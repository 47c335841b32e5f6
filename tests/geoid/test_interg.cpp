// Geoid heights: agreement with Octave's interp2 and SciPy's Clough-Tocher on
// the same data, node values, NaN outside the models, the model cache.
#include "geoid_fixtures.h"

#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

using namespace kolmo;
using kolmo::test::geoidFixtures;
using kolmo::test::readCsv;

namespace {

// The reference copies of the model files (the same data Octave and SciPy used).
const std::filesystem::path& refDir()
{
    static const auto d = geoidFixtures();
    return d;
}

} // namespace

TEST(Vrp2016, SplineAndLinearAgreeWithOctaveInterp2)
{
    const auto model = loadVrp2016(refDir() / "HREF_SVS2010.mat");
    const auto rows = readCsv(geoidFixtures() / "spline_reference.csv");
    ASSERT_GT(rows.size(), 300u);
    double worstSpline = 0, worstLinear = 0;
    for (const auto& r : rows) {
        worstSpline = std::max(worstSpline, std::abs(model->spline(r[0], r[1]) - r[2]));
        worstLinear = std::max(worstLinear, std::abs(model->linear(r[0], r[1]) - r[3]));
    }
    EXPECT_LT(worstSpline, 1e-9);
    EXPECT_LT(worstLinear, 1e-9);
}

TEST(Vrp2016, NodesGiveTheStoredHeightAndOutsideIsNaN)
{
    const Mat H = platform::loadSingleMatrix(refDir() / "HREF_SVS2010.mat", 241, 321);
    const auto model = loadVrp2016(refDir() / "HREF_SVS2010.mat");
    for (int k : {1, 2, 120, 240, 241})
        for (int j : {1, 2, 161, 320, 321}) {
            const double fi = vrp2016Latitude(k), la = vrp2016Longitude(j);
            EXPECT_NEAR(model->spline(la, fi), H(k - 1, j - 1), 1e-12) << k << "," << j;
            EXPECT_NEAR(model->linear(la, fi), H(k - 1, j - 1), 1e-12) << k << "," << j;
            if (k > 1 && j < 321) {  // not on the north or east edge, where the cell ends
                EXPECT_EQ(model->spline(la, fi), H(k - 1, j - 1));
            }
        }
    EXPECT_DOUBLE_EQ(vrp2016Latitude(241), 46.99992 - 0.008333 * 240);
    for (auto [la, fi] : {std::pair{12.999, 46.0}, {17.001, 46.0}, {15.0, 44.999}, {15.0, 47.0}, {NAN, 46.0}}) {
        EXPECT_TRUE(std::isnan(model->spline(la, fi)));
        EXPECT_TRUE(std::isnan(model->linear(la, fi)));
    }
}

TEST(Vrp2016, SplineReproducesCubicsExactly)
{
    // A not-a-knot spline reproduces any cubic, so the tensor product
    // reproduces any bicubic, also on uneven axes and near the edges.
    Vec x(7), y(6);
    x << 0, 0.5, 1.7, 2, 3.1, 4, 6;
    y << 10, 9, 8.5, 7, 6.2, 5;  // descending, like the VRP2016 latitudes
    auto f = [](double a, double b) { return 1 + a - 2 * b + a * a * b - 0.3 * a * a * a + 0.01 * b * b * b * a; };
    Mat z(6, 7);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 7; ++j)
            z(i, j) = f(x(j), y(i));
    const GridSpline s(x, y, z);
    for (double a : {0.0, 0.1, 1.0, 2.5, 5.9, 6.0})
        for (double b : {5.0, 5.5, 8.0, 9.99, 10.0})
            EXPECT_NEAR(s.spline(a, b), f(a, b), 1e-10) << a << "," << b;
    EXPECT_THROW(GridSpline(x.head(3), y, z.leftCols(3)), std::invalid_argument);
}

TEST(Amg2000, CloughTocherAgreesWithSciPy)
{
    const auto model = loadAmg2000(refDir() / "AMG_2000_gd.mat");
    // Same triangulation as SciPy's Delaunay (Qhull with the same options).
    std::set<std::array<int, 3>> ours, theirs;
    for (auto t : model->triangles()) {
        std::sort(t.begin(), t.end());
        ours.insert(t);
    }
    for (const auto& r : readCsv(geoidFixtures() / "cloughtocher_triangles.csv", false))
        theirs.insert({static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[2])});
    EXPECT_EQ(ours, theirs);
    EXPECT_GT(model->gradientSweeps(), 0);

    const auto rows = readCsv(geoidFixtures() / "cloughtocher_reference.csv");
    ASSERT_GT(rows.size(), 400u);
    double worst = 0;
    int outside = 0;
    for (const auto& r : rows) {
        const double v = (*model)(r[0], r[1]);
        ASSERT_EQ(std::isnan(v), std::isnan(r[2])) << r[0] << "," << r[1];
        if (std::isnan(v))
            ++outside;
        else
            worst = std::max(worst, std::abs(v - r[2]));
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_GT(outside, 10);
}

TEST(Amg2000, DataPointsAreMatchedAndAPlaneIsReproduced)
{
    const platform::DataRecord r = platform::loadDataFile(refDir() / "AMG_2000_gd.mat");
    const auto model = loadAmg2000(refDir() / "AMG_2000_gd.mat");
    const Mat &X = r.at("Xgd"), &Y = r.at("Ygd"), &Z = r.at("Zgd");
    for (Eigen::Index i = 0; i < X.size(); i += 97)
        EXPECT_NEAR((*model)(X(i), Y(i)), Z(i), 1e-9);
    // Linear data: the estimated gradients are exact, and so is the interpolant.
    const Vec zl = (2.0 + 0.5 * X.array() - 3.0 * Y.array()).matrix();
    const CloughTocher2D plane(Eigen::Map<const Vec>(X.data(), X.size()), Eigen::Map<const Vec>(Y.data(), Y.size()), zl);
    for (double la = 13.9; la < 16.0; la += 0.173)
        EXPECT_NEAR(plane(la, 46.1), 2.0 + 0.5 * la - 3.0 * 46.1, 1e-9);
    Vec line(3);
    line << 0, 1, 2;
    EXPECT_THROW(CloughTocher2D(line, line, line), std::invalid_argument);
}

class IntergTest : public ::testing::Test {
protected:
    void SetUp() override { clearGeoidModelCache(); }
    void TearDown() override { clearGeoidModelCache(); }
};

TEST_F(IntergTest, OutsideTheHullGivesNaNAndSoDoesTheSeaLevelHeight)
{
    // South-west corner of the tool's limits: in the Adriatic, away from the points.
    const double N = interg(45.26, 13.26, 2, refDir());
    EXPECT_TRUE(std::isnan(N));
    EXPECT_TRUE(std::isnan(300.0 - N));
    // The limits are inside the VRP2016 grid.
    for (double fi : {45.25, 46.99992})
        for (double la : {13.25, 16.75})
            EXPECT_TRUE(std::isfinite(interg(fi, la, 1, refDir()))) << fi << "," << la;
    EXPECT_TRUE(std::isfinite(interg(46.05, 14.5, 2, refDir())));
}

TEST_F(IntergTest, CachedModelsGiveWhatALoadPerCallGives)
{
    const auto spline = loadVrp2016(refDir() / "HREF_SVS2010.mat");
    const auto ct = loadAmg2000(refDir() / "AMG_2000_gd.mat");
    const auto cwd = std::filesystem::current_path();
    for (double fi = 45.5; fi < 46.9; fi += 0.0913)
        for (double la = 13.6; la < 16.5; la += 0.177) {
            EXPECT_EQ(interg(fi, la, 1, refDir()), spline->spline(la, fi));
            const double a = interg(fi, la, 2, refDir()), b = (*ct)(la, fi);
            EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b)));
            const double c = interg(fi, la, 7, refDir());  // any code other than 1 is SVS2000
            EXPECT_TRUE(c == a || (std::isnan(c) && std::isnan(a)));
            EXPECT_EQ(intergLinear(fi, la, refDir()), spline->linear(la, fi));
        }
    EXPECT_EQ(vrp2016Model(refDir()), vrp2016Model(refDir() / "." / ""));
    EXPECT_EQ(std::filesystem::current_path(), cwd);
}

TEST_F(IntergTest, ModelsOfDifferentFoldersAreKeptApart)
{
    const auto dir = kolmo::test::freshTempDir("interg_other");
    Mat flat = Mat::Constant(241, 321, 40.0);
    platform::saveDataFile(dir / "HREF_SVS2010.mat", {{{"anything", flat}}});
    EXPECT_EQ(interg(46.0, 15.0, 1, dir), 40.0);
    EXPECT_NE(interg(46.0, 15.0, 1, refDir()), 40.0);
    // No AMG file there: an error, and no half-built entry left in the cache.
    EXPECT_THROW(interg(46.0, 15.0, 2, dir), DataFileError);
    EXPECT_THROW(interg(46.0, 15.0, 2, dir), DataFileError);
    std::filesystem::remove_all(dir);
}

TEST_F(IntergTest, ManyThreadsLoadingAtOnceGetOneModel)
{
    std::vector<std::thread> threads;
    std::vector<double> got(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &got] { got[static_cast<std::size_t>(t)] = interg(46.2, 14.9, 1 + t % 2, refDir()); });
    for (auto& th : threads)
        th.join();
    for (int t = 2; t < 8; ++t)
        EXPECT_EQ(got[static_cast<std::size_t>(t)], got[static_cast<std::size_t>(t % 2)]);
}
