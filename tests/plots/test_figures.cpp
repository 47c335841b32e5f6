// The figure descriptions: limits, ticks, labels, texts and series of the
// network, location, residual and geoid plots, built from plot records.
#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/errors.h"
#include "plots.h"
#include "plots/grobi.h"
#include "plots/prik_geoid.h"
#include "plots/prik_mre.h"
#include "plots/prik_obod.h"
#include "plots/prik_odst.h"
#include "plots/prik_osi.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kolmo;
using namespace kolmo::plot;

namespace {

std::vector<double> range(double a, double step, double b)
{
    std::vector<double> v;
    for (double t = a; t <= b + step * 1e-9; t += step)
        v.push_back(t);
    return v;
}

} // namespace

// The worked example: D = 1000 and Tx from 401230 to 405870.
TEST(NetworkPlot, LimitsTicksAndAspectFollowTheNetwork)
{
    Prik p = test::syntheticPrik(5, 3, 401230, 405870, 101700, 104100, 1000);
    const Figure f = prik_mre(p);
    const Axes& ax = f.axes;
    EXPECT_EQ(ax.x.lim, (std::array<double, 2>{400230, 406870}));
    EXPECT_EQ(ax.y.lim, (std::array<double, 2>{100700, 105100}));
    EXPECT_EQ(ax.x.ticks, range(401000, 1000, 406000));
    EXPECT_EQ(ax.y.ticks, range(101000, 1000, 105000));
    // One metre equally long on both axes: the box's sides in the ratio of the limit spans.
    EXPECT_DOUBLE_EQ(ax.plotBoxAspect[1] / ax.plotBoxAspect[0], (105100.0 - 100700) / (406870.0 - 400230));
    EXPECT_EQ(ax.x.tickLabels.front(), "401000");
    EXPECT_EQ(ax.x.tickLabels.back(), "406000");
    EXPECT_EQ(ax.y.tickLabels.front(), "101000");
    EXPECT_EQ(ax.x.label, "y(E) (m)");
    EXPECT_EQ(ax.y.label, "x(N) (m)");

    // A tick exactly on the limit stays: ceil/floor, not strict.
    p = test::syntheticPrik(3, 2, 401000, 404000, 100000, 101000, 1000);
    const Figure g = prik_mre(p);
    EXPECT_EQ(g.axes.x.ticks, range(400000, 1000, 405000));
}

TEST(NetworkPlot, KilometresOnlyAboveOneHundredKilometres)
{
    // Exactly 100 km wide: metres.
    Prik p = test::syntheticPrik(4, 2, 400000, 500000, 50000, 60000, 10000);
    Figure f = prik_mre(p);
    EXPECT_EQ(f.axes.x.label, "y(E) (m)");
    EXPECT_EQ(f.axes.x.tickLabels.front(), "390000");
    EXPECT_EQ(f.axes.y.label, "x(N) (m)");

    // A metre more: kilometres, on both axes (one unit for the plot).
    p = test::syntheticPrik(4, 2, 400000, 500001, 50000, 60000, 10000);
    f = prik_mre(p);
    EXPECT_EQ(f.axes.x.label, "y(E) (km)");
    ASSERT_EQ(f.axes.x.ticks.size(), f.axes.x.tickLabels.size());
    EXPECT_EQ(f.axes.x.tickLabels.front(), "390");
    EXPECT_EQ(f.axes.x.tickLabels.back(), "510");
    EXPECT_EQ(f.axes.y.label, "x(N) (km)");
    EXPECT_EQ(f.axes.y.tickLabels.front(), "40");
}

TEST(NetworkPlot, TextsSeriesWindowAndMenus)
{
    Prik p = test::syntheticPrik(4, 2, 401230, 405870, 101700, 104100, 1000);
    p.vset[1] = "T_12_a";
    p.vset[2] = "\x8A"
                "ENTJUR"; // Windows-1250 bytes in the record
    const Figure f = prik_mre(p);
    const Axes& ax = f.axes;

    EXPECT_EQ(f.name, "Kolmo - Mreža točk");
    EXPECT_EQ(f.tag, "slk");
    EXPECT_EQ(f.paperType, "A4");
    EXPECT_EQ(f.color, kWhite);
    EXPECT_TRUE(f.zoom);
    EXPECT_EQ(f.exportName, "mreza");
    EXPECT_EQ(ax.title, "Mreza tock");
    ASSERT_TRUE(ax.legend);
    ASSERT_EQ(ax.legend->entries.size(), 2u);
    EXPECT_EQ(ax.legend->entries[0].text, "transf. tocke");
    EXPECT_EQ(ax.legend->entries[1].text, "vezne tocke");
    EXPECT_EQ(ax.legend->location, LegendLocation::Best);

    ASSERT_EQ(f.menus.size(), 2u);
    EXPECT_EQ(f.menus[0].label, "Natisni");
    EXPECT_EQ(f.menus[0].action, "print -dsetup");
    EXPECT_TRUE(f.menus[0].items.empty());
    const auto& items = f.menus[1].items;
    EXPECT_EQ(f.menus[1].label, "Izvozi");
    ASSERT_GE(items.size(), 5u);
    const char* labels[] = {"PNG", "TIFF", "JPEG", "EPS", "EMF"};
    const char* words[] = {"png", "tiff", "jpeg", "eps", "emf"};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(items[static_cast<std::size_t>(k)].label, labels[k]);
        EXPECT_EQ(items[static_cast<std::size_t>(k)].action, std::string("prik_mre('") + words[k] + "')");
        EXPECT_EQ(items[static_cast<std::size_t>(k)].separator, k == 3) << labels[k];
    }

    // Triangles of the transformed points first, then circles of the common points.
    ASSERT_EQ(ax.markers.size(), 2u);
    EXPECT_EQ(ax.markers[0].style.shape, MarkerShape::TriangleUp);
    EXPECT_EQ(ax.markers[0].style.face, kGreen);
    EXPECT_EQ(ax.markers[0].style.size, 6);
    EXPECT_EQ(ax.markers[0].x.size(), 4);
    EXPECT_EQ(ax.markers[1].style.shape, MarkerShape::Circle);
    EXPECT_EQ(ax.markers[1].style.face, kBlue);
    EXPECT_EQ(ax.markers[1].style.size, 8);
    EXPECT_EQ(ax.markers[1].x.size(), 2);
    ASSERT_EQ(ax.lines.size(), 1u);
    EXPECT_EQ(ax.lines[0].x.size(), p.obod.rows());

    // One name per transformed point, D/20 under it, centred, hanging from the anchor.
    ASSERT_EQ(ax.texts.size(), 4u);
    EXPECT_EQ(ax.texts[1].text, "T_12_a") << "underscores are shown, not taken as subscripts";
    EXPECT_EQ(ax.texts[2].text, "ŠENTJUR");
    for (std::size_t i = 0; i < 4; ++i) {
        const auto k = static_cast<Eigen::Index>(i);
        EXPECT_EQ(ax.texts[i].x, p.Tx(k));
        EXPECT_DOUBLE_EQ(ax.texts[i].y, p.Ty(k) - 50);
        EXPECT_EQ(ax.texts[i].halign, HAlign::Center);
        EXPECT_EQ(ax.texts[i].valign, VAlign::Top);
        EXPECT_EQ(ax.texts[i].color, kBlack);
    }
}

TEST(NetworkPlot, EmptyOrIncompleteRecordIsRefused)
{
    EXPECT_THROW(prik_mre(Prik{}), Error);
    Prik p = test::syntheticPrik(4, 2, 0, 1000, 0, 1000, 100);
    p.vset.pop_back();
    EXPECT_THROW(prik_mre(p), Error);
    p = test::syntheticPrik(4, 2, 0, 1000, 0, 1000, 100);
    p.D = 0;
    EXPECT_THROW(prik_mre(p), Error);
    p = test::syntheticPrik(4, 2, 0, 1000, 0, 1000, 100);
    p.YI.resize(1);
    EXPECT_THROW(prik_mre(p), Error);
    EXPECT_THROW(prik_obod(Prik{}, Mat::Zero(3, 2)), Error);
    EXPECT_THROW(prik_odst(Prik{}), Error);
}

TEST(LocationPlot, FixedTicksLabelsAndEqualMetres)
{
    const Mat meja = loadMeja(test::dataDir());
    ASSERT_EQ(meja.cols(), 2);
    const Prik p = test::syntheticPrik(6, 4, 455000, 470000, 94000, 109000, 2000);
    const Figure f = prik_obod(p, meja);
    const Axes& ax = f.axes;
    EXPECT_EQ(f.name, "Kolmo - Lega mreže točk");
    EXPECT_EQ(f.exportName, "obod_rs");
    EXPECT_EQ(f.menus[1].items[0].action, "prik_obod('png')");
    EXPECT_EQ(ax.title, "Lega mreze na prikazu z mejo RS");
    EXPECT_EQ(ax.x.label, "y(E) (km)");
    EXPECT_EQ(ax.y.label, "x(N) (km)");
    // Both axes in the same unit: every tick label is its tick in kilometres.
    for (const Axis* a : {&ax.x, &ax.y})
        for (std::size_t i = 0; i < a->ticks.size(); ++i)
            EXPECT_EQ(a->tickLabels.at(i), std::to_string(std::lround(a->ticks[i] / 1000))) << a->label;
    EXPECT_EQ(ax.x.ticks, range(360000, 20000, 640000));
    EXPECT_EQ(ax.y.ticks, range(20000, 20000, 200000));
    ASSERT_EQ(ax.x.tickLabels.size(), 15u);
    ASSERT_EQ(ax.y.tickLabels.size(), 10u);
    EXPECT_EQ(ax.x.tickLabels.front(), "360");
    EXPECT_EQ(ax.x.tickLabels[1], "380");
    EXPECT_EQ(ax.x.tickLabels.back(), "640");
    EXPECT_EQ(ax.y.tickLabels.front(), "20");
    EXPECT_EQ(ax.y.tickLabels.back(), "200");
    EXPECT_DOUBLE_EQ(ax.plotBoxAspect[1], 0.6428571428571429);
    EXPECT_FALSE(ax.legend);

    // The border in black, then the outline.
    ASSERT_EQ(ax.lines.size(), 2u);
    EXPECT_EQ(ax.lines[0].style.color, kBlack);
    EXPECT_EQ(ax.lines[0].x.size(), meja.rows());
    EXPECT_EQ(ax.lines[1].x.size(), p.obod.rows());

    // The national border fits the tick span, which has the box's proportions.
    EXPECT_EQ(ax.x.lim, (std::array<double, 2>{360000, 640000}));
    EXPECT_EQ(ax.y.lim, (std::array<double, 2>{20000, 200000}));

    // An outline reaching beyond the country widens the limits, keeping a
    // metre equally long on both axes.
    Prik far = test::syntheticPrik(6, 4, 300500, 320000, 100000, 110000, 2000);
    const Figure g = prik_obod(far, meja);
    EXPECT_LE(g.axes.x.lim[0], 300000);
    EXPECT_NEAR((g.axes.y.lim[1] - g.axes.y.lim[0]) / (g.axes.x.lim[1] - g.axes.x.lim[0]),
                g.axes.plotBoxAspect[1], 1e-12);
    EXPECT_LE(g.axes.y.lim[0], 20000);
    EXPECT_GE(g.axes.y.lim[1], 200000);
}

TEST(LocationPlot, MissingBorderFileIsAnError)
{
    const auto dir = test::freshDir("plots_nomeja");
    EXPECT_THROW(loadMeja(dir), DataFileError);
    platform::saveDataFile(dir / "meja_rs.mat", {{{"meja", Mat::Zero(5, 3)}}});
    EXPECT_THROW(loadMeja(dir), DataFileError) << "three columns";
    std::filesystem::remove_all(dir);
}

TEST(ResidualPlot, VectorsGivenMinusTransformedWithOneScaleBar)
{
    Prik p = test::syntheticPrik(6, 4, 455000, 470000, 94000, 109000, 2000);
    p.dx << 0.010, -0.020, 0.030, 0.0;  // northing residuals (m)
    p.dy << 0.000, 0.015, -0.040, 0.001; // easting residuals (m)
    p.grobi = {false, false, true, false};
    p.tocke = {"A_1", "B", "C", "D"};
    const Figure f = prik_odst(p);
    const Axes& ax = f.axes;
    EXPECT_EQ(f.name, "Kolmo - Odstopanja veznih točk");
    EXPECT_EQ(f.exportName, "odstopanja");
    EXPECT_EQ(f.menus[1].items[3].action, "prik_odst('eps')");
    EXPECT_EQ(ax.title, "Odstopanja veznih točk");

    // Ordinary points first, then the flagged one in red.
    ASSERT_EQ(ax.vectors.size(), 2u);
    ASSERT_EQ(ax.markers.size(), 2u);
    EXPECT_EQ(ax.vectors[0].x.size(), 3);
    EXPECT_EQ(ax.vectors[1].x.size(), 1);
    EXPECT_EQ(ax.vectors[1].style.color, kRed);
    EXPECT_EQ(ax.markers[1].style.face, kRed);
    EXPECT_NE(ax.markers[0].style.face, kRed);
    EXPECT_EQ(ax.vectors[1].x(0), p.XI(2));
    EXPECT_EQ(ax.vectors[1].y(0), p.YI(2));

    // One enlargement for all: the longest residual (C, 50 mm) draws 15 % of
    // the wider side of the points' axes; the bar is 50 mm.
    const double scale = ax.vectors[1].v(0) / 0.030;
    EXPECT_NEAR(scale, 0.15 * (108000.0 - 92000) / 0.05, 1e-6) << "northings 94000..106000, D = 2000";
    EXPECT_NEAR(ax.vectors[1].u(0), -0.040 * scale, 1e-9) << "easting to the right";
    EXPECT_NEAR(ax.vectors[0].v(1), -0.020 * scale, 1e-9) << "northing upwards";
    ASSERT_TRUE(ax.scaleBar);
    EXPECT_EQ(ax.scaleBar->text, "50 mm");
    EXPECT_NEAR(ax.scaleBar->length, 0.05 * scale, 1e-9);
    // Every arrow lies inside the axes.
    for (const VectorSeries& v : ax.vectors)
        for (Eigen::Index i = 0; i < v.x.size(); ++i) {
            EXPECT_GE(v.x(i) + v.u(i), ax.x.lim[0]);
            EXPECT_LE(v.x(i) + v.u(i), ax.x.lim[1]);
            EXPECT_GE(v.y(i) + v.v(i), ax.y.lim[0]);
            EXPECT_LE(v.y(i) + v.v(i), ax.y.lim[1]);
        }

    // Names beside their points, the flagged one red; kept literally.
    ASSERT_EQ(ax.texts.size(), 4u);
    EXPECT_EQ(ax.texts[0].text, "A_1");
    EXPECT_EQ(ax.texts[3].text, "C");
    EXPECT_EQ(ax.texts[3].color, kRed);
    EXPECT_NE(ax.texts[3].dx, 0);

    ASSERT_TRUE(ax.legend);
    ASSERT_EQ(ax.legend->entries.size(), 3u);
    EXPECT_EQ(ax.legend->entries[0].text, "vezne točke");
    EXPECT_EQ(ax.legend->entries[2].text, "grobi pogrešek");
    EXPECT_EQ(ax.legend->location, LegendLocation::EastOutside) << "the legend hides no point";
    EXPECT_EQ(ax.lines.size(), 1u) << "the outline";

    // Without flags: no red, no third legend entry.
    p.grobi.clear();
    const Figure g = prik_odst(p);
    EXPECT_EQ(g.axes.vectors.size(), 1u);
    EXPECT_EQ(g.axes.legend->entries.size(), 2u);

    // Residuals that do not belong to the common points are refused.
    p.dx.resize(2);
    EXPECT_THROW(prik_odst(p), Error);
}

TEST(ResidualPlot, ScaleBarLengthIsRound)
{
    const std::pair<double, double> cases[] = {
        {0.05, 0.05},  {0.0499, 0.02}, {0.0231, 0.02}, {0.0199, 0.01}, {0.0071, 0.005},
        {1.3, 1.0},    {0.00042, 2e-4}, {0, 0.001},     {0.00001, 1e-4}};
    for (const auto& [vmax, bar] : cases)
        EXPECT_NEAR(scaleBarLength(vmax), bar, bar * 1e-12) << vmax;
}

TEST(ResidualPlot, RecordOfAComputationHasResidualsAndFlags)
{
    const AppState s = test::computedState("local");
    const Prik& p = *s.prik;
    ASSERT_EQ(p.dx.size(), p.XI.size());
    ASSERT_EQ(p.grobi.size(), p.tocke.size());
    // Given minus transformed, in the plane of the end datum, for a common point.
    const std::string name = p.tocke[0];
    Eigen::Index j = -1, k = -1;
    for (std::size_t r = 0; r < s.vhv->ime.size(); ++r)
        if (s.vhv->ime[r] == name)
            j = static_cast<Eigen::Index>(r);
    for (std::size_t r = 0; r < s.vhi->ime.size(); ++r)
        if (s.vhi->ime[r] == name)
            k = static_cast<Eigen::Index>(r);
    ASSERT_GE(j, 0);
    ASSERT_GE(k, 0);
    EXPECT_DOUBLE_EQ(p.dx(0), s.vhv->gk(j, 0) - s.rez->gk(k, 0));
    EXPECT_DOUBLE_EQ(p.dy(0), s.vhv->gk(j, 1) - s.rez->gk(k, 1));
    // The example network has no gross errors.
    for (bool b : p.grobi)
        EXPECT_FALSE(b);
    EXPECT_NO_THROW(prik_odst(p));
}

TEST(GrossErrorFlags, SpatialTestTakesAnyCoordinate)
{
    Par3dResult e;
    e.vezne.ime = {"A", "B", "C", "D"};
    e.v_st = Vec::Constant(12, 1.0);
    e.tau = Vec::Constant(12, 0.2);
    e.v_st(3 * 1 + 2) = 3.3;  // B, height
    e.tau(3 * 3 + 0) = 1.01;  // D, X
    e.v_st(3 * 2 + 1) = 3.29; // C: on the limit, not above
    EXPECT_EQ(grobi3d(e), (std::vector<bool>{false, true, false, true}));
}

TEST(GrossErrorFlags, PlaneScreenFindsAPlantedError)
{
    // A 4-parameter network with 1 cm noise-like misclosures and one point
    // off by 30 cm in its northing.
    Par2dResult e;
    const int n = 8;
    e.vezne.ime.resize(n);
    e.vezne.i.resize(n, 4);
    e.vezne.v.resize(n, 4);
    e.PAR.resize(4);
    e.PAR << 1.00001, 2e-5, 480.0, -370.0;
    const double jitter[8] = {0.01, -0.012, 0.008, -0.01, 0.011, -0.009, 0.01, -0.008};
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double x = 100000 + 1000 * i, y = 460000 + 700 * (i % 3);
        e.vezne.ime[static_cast<std::size_t>(i)] = std::string(1, 'T').append(std::to_string(i));
        e.vezne.i.row(i) << x, y, 1, 1;
        const double xt = e.PAR(0) * x - e.PAR(1) * y + e.PAR(2), yt = e.PAR(1) * x + e.PAR(0) * y + e.PAR(3);
        e.vezne.v.row(i) << xt + jitter[i] + (i == 5 ? 0.30 : 0), yt - jitter[i], 1, 1;
        sum += 2 * jitter[i] * jitter[i];
    }
    e.m0 = std::sqrt(sum / (2 * n - 4)); // the m0 the good points alone would give
    const auto flags = grobi2d(e, 4);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(flags[static_cast<std::size_t>(i)], i == 5) << i;

    // No redundancy, no test.
    e.m0 = std::nan("");
    for (bool b : grobi2d(e, 4))
        EXPECT_FALSE(b);
    e.m0 = 0;
    for (bool b : grobi2d(e, 4))
        EXPECT_FALSE(b);
}

TEST(GeoidSurfaces, Amg2000IsLoweredBy44WhereThereAreData)
{
    Mat g = Mat::Constant(106, 141, 47.5);
    g(0, 0) = 0;
    g(50, 70) = 0;
    g(105, 140) = 44.25;
    const Figure f = prik_amg2000(g);
    EXPECT_EQ(f.name, "Kolmo - Prikaz modela geoida AMG2000");
    EXPECT_TRUE(f.axes.threeD);
    EXPECT_EQ(f.axes.title, "Model geoida AMG2000");
    EXPECT_TRUE(f.axes.lines3.empty()) << "no border over AMG2000";
    ASSERT_EQ(f.axes.surfaces.size(), 1u);
    const Surface& s = f.axes.surfaces[0];
    // Cells without data are no part of the surface (no sheet at 0 with walls).
    EXPECT_TRUE(std::isnan(s.z(0, 0)));
    EXPECT_TRUE(std::isnan(s.z(50, 70)));
    EXPECT_DOUBLE_EQ(s.z(1, 1), 3.5);
    EXPECT_DOUBLE_EQ(s.z(105, 140), 0.25);
    // Grid: longitudes 13.25 + 0.025 (j - 1), latitudes 45.25 + (k - 1)/60.
    EXPECT_DOUBLE_EQ(s.x(0), 13.25);
    EXPECT_DOUBLE_EQ(s.x(140), 16.75);
    EXPECT_DOUBLE_EQ(s.y(0), 45.25);
    EXPECT_NEAR(s.y(105), 47.0, 1e-12);
    // The axes take in the whole surface, the heights included.
    EXPECT_LE(f.axes.z.lim[0], 0.25);
    EXPECT_GT(f.axes.z.lim[0], -1) << "the heights of the data, not a 0 of the empty cells";
    EXPECT_GE(f.axes.z.lim[1], 3.5);
    EXPECT_LE(f.axes.x.lim[0], 13.25);
    EXPECT_GE(f.axes.x.lim[1], 16.75);
    EXPECT_THROW(prik_amg2000(Mat::Zero(105, 141)), Error);
}

TEST(GeoidSurfaces, Vrp2016BorderLiesOnTheSurface)
{
    // A plane in longitude and latitude: linear interpolation is exact on it.
    Mat g(kVrpRows, kVrpCols);
    for (int k = 0; k < kVrpRows; ++k)
        for (int j = 0; j < kVrpCols; ++j)
            g(k, j) = 40 + 2 * vrp2016Longitude(j + 1) - 3 * vrp2016Latitude(k + 1) + 150;
    const Mat meja = loadMeja(test::dataDir());
    const Figure f = prik_vrp2016(g, meja);
    EXPECT_EQ(f.name, "Kolmo - Prikaz modela geoida VRP2016");
    ASSERT_EQ(f.axes.lines3.size(), 1u);
    const Line3& b = f.axes.lines3[0];
    EXPECT_EQ(b.style.color, kBlack);
    ASSERT_EQ(b.x.size(), meja.rows());
    for (Eigen::Index i = 0; i < meja.rows(); i += 37) {
        Mat ne(1, 2);
        ne << meja(i, 1), meja(i, 0);
        const auto [fi, la] = tmelip(ne);
        EXPECT_NEAR(b.x(i), la, 1e-12);
        EXPECT_NEAR(b.y(i), fi, 1e-12);
        EXPECT_NEAR(b.z(i), 40 + 2 * la - 3 * fi + 150, 1e-9) << i;
    }
    // The grid runs north to south in its rows, as the model file.
    const Surface& s = f.axes.surfaces[0];
    EXPECT_NEAR(s.y(0), 46.99992, 1e-12);
    EXPECT_GT(s.y(0), s.y(240));
    EXPECT_THROW(prik_vrp2016(Mat::Zero(241, 320), meja), Error);

    // A border vertex outside the grid has no height: the line breaks there.
    Mat outside = meja.topRows(3);
    outside(1, 0) = 700000; // far east of 17 degrees
    const Figure h = prik_vrp2016(g, outside);
    EXPECT_TRUE(std::isnan(h.axes.lines3[0].z(1)));
}

TEST(GeoidSurfaces, FromTheProgramFolder)
{
    const Figure t = prikaziT(test::dataDir());
    const Figure k = prikaziK(test::dataDir());
    EXPECT_EQ(t.axes.surfaces[0].z.rows(), 106);
    EXPECT_EQ(k.axes.surfaces[0].z.cols(), 321);
    // The shipped border lies inside the VRP2016 grid: every vertex has a height.
    EXPECT_TRUE(k.axes.lines3[0].z.allFinite());
    const auto empty = test::freshDir("plots_nogeoid");
    EXPECT_THROW(prikaziT(empty), DataFileError);
    EXPECT_THROW(prikaziK(empty), DataFileError);
    std::filesystem::remove_all(empty);
}
