// The shipped models give the official values: checked against the GURS
// GeoTIFF grids in data/sources, read here with libtiff on their own (not
// through the data files or the generator).  The files place their pixel
// centres at longitude 13 + 0.0125 j and latitude 47 - k/120 (0-based column
// j and row k, first row northernmost).
//
// SVS2010: the spline passes through the grid values at Kolmo's nodes.  Kolmo
// keeps its own latitude axis, 46.99992 - 0.008333 k, which lies up to
// 0.00008 degrees (9 m) south of the GeoTIFF's rows; with the steepest slope
// of the model, 1.7e-4 (Julian Alps), that moves a height at the GeoTIFF's
// pixel centres by up to 1.5 mm, and by under 1 mm almost everywhere.
// SVS2000: N(VRP2016) + offset(VTP2024) at the lattice points of the model,
// which are grid nodes.
#include "geoid_fixtures.h"

#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/dialogs.h"
#include "support/run.h"
#include "tools/mod_intg.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace kolmo;

namespace {

constexpr double kMm = 1e-3;

struct Grid {
    std::uint32_t rows = 0, cols = 0;
    std::vector<float> v;
    double operator()(int k, int j) const
    {
        return v[static_cast<std::size_t>(k) * cols + static_cast<std::size_t>(j)];
    }
    static double lon(int j) { return 13.0 + 0.0125 * j; }
    static double lat(int k) { return 47.0 - k / 120.0; }
};

Grid readTiff(const std::string& name)
{
    TIFFSetWarningHandler(nullptr);  // the GeoTIFF tags are unknown to plain libtiff
    const auto file = kolmo::test::sourceDir() / "data/sources" / name;
    Grid g;
    TIFF* t = TIFFOpen(file.string().c_str(), "r");
    if (!t) {
        ADD_FAILURE() << "cannot open " << file;
        return g;
    }
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &g.cols);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &g.rows);
    g.v.resize(static_cast<std::size_t>(g.rows) * g.cols);
    for (std::uint32_t k = 0; k < g.rows; ++k)
        if (TIFFReadScanline(t, &g.v[k * g.cols], k) < 0)
            ADD_FAILURE() << file << " row " << k;
    TIFFClose(t);
    return g;
}

const Grid& vrp()
{
    static const Grid g = readTiff("si_gurs_SLO-VRP2016-Koper.tif");
    return g;
}

const Grid& vtp()
{
    static const Grid g = readTiff("si_gurs_SLO-VTP2024.tif");
    return g;
}

std::string deg(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10f", v);
    return buf;
}

// The geoid tool's N for a point given in degrees, from the build's program folder.
double toolN(double fi, double la, int geoid)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    const auto r = tools::mod_intg_izracunaj({deg(fi), deg(la), "", "", geoid}, kolmo::test::dataDir());
    EXPECT_TRUE(r && rec.boxes.empty()) << fi << " " << la;
    return r ? r->Ng : NAN;
}

// kolmo-cli geoid's N (printed to 1e-6 m), with its default program folder.
double cliN(double fi, double la, const char* system)
{
    const auto r = kolmo::test::run(kolmo::test::cliPath(), {"geoid", "--height-system", system, deg(fi), deg(la)});
    EXPECT_EQ(r.status, 0) << r.err;
    double n = NAN;
    EXPECT_EQ(std::sscanf(r.out.c_str(), "N (m): %lf", &n), 1) << r.out;
    return n;
}

// Grid nodes (row k, column j, 0-based) over the country; (114, 120) is
// Ljubljana, 46.05 N 14.5 E.
const std::pair<int, int> kNodes[] = {{114, 120}, {60, 212}, {174, 60}, {42, 252}, {78, 68},
                                      {130, 200}, {1, 20},   {210, 300}, {100, 160}};

} // namespace

TEST(OfficialModels, Svs2010PassesThroughTheGridAtEveryNode)
{
    ASSERT_EQ(vrp().rows, 241u);
    ASSERT_EQ(vrp().cols, 321u);
    double atOwnNodes = 0, atPixelCentres = 0;
    for (int k = 0; k < 241; ++k)
        for (int j = 0; j < 321; ++j) {
            const double v = vrp()(k, j);
            atOwnNodes = std::max(atOwnNodes, std::abs(interg(vrp2016Latitude(k + 1), vrp2016Longitude(j + 1), 1,
                                                              kolmo::test::dataDir()) - v));
            if (k > 0)  // the first row, 47 N, lies north of Kolmo's grid
                atPixelCentres = std::max(
                    atPixelCentres, std::abs(interg(Grid::lat(k), Grid::lon(j), 1, kolmo::test::dataDir()) - v));
        }
    EXPECT_LT(atOwnNodes, 1e-9);
    EXPECT_LT(atPixelCentres, 1.5 * kMm);

    // A user's point given as the GeoTIFF's pixel centre, away from the Alps.
    for (const auto& [k, j] : kNodes) {
        SCOPED_TRACE(std::to_string(k) + "," + std::to_string(j));
        EXPECT_NEAR(toolN(Grid::lat(k), Grid::lon(j), 1), vrp()(k, j), kMm);
        EXPECT_NEAR(cliN(Grid::lat(k), Grid::lon(j), "svs2010"), vrp()(k, j), kMm);
    }
    // Ljubljana: 46.479 m in SLO-VRP2016/Koper.
    EXPECT_NEAR(toolN(46.05, 14.5, 1), 46.479, 5e-4);
}

TEST(OfficialModels, Svs2000IsVrp2016PlusTheVtp2024OffsetAtTheModelPoints)
{
    ASSERT_EQ(vrp().v.size(), 241u * 321u);
    ASSERT_EQ(vtp().v.size(), 241u * 321u);
    // The points' positions come from the shipped file, their expected
    // heights from the GeoTIFF grids only.
    const auto amg = platform::loadDataFile(kolmo::test::dataDir() / "AMG_2000_gd.mat", {"Xgd", "Ygd"});
    const Mat &X = amg.at("Xgd"), &Y = amg.at("Ygd");
    ASSERT_EQ(X.size(), 9260);
    double worst = 0;
    for (Eigen::Index i = 0; i < X.size(); ++i) {
        const int j = static_cast<int>(std::lround((X(i) - 13.0) / 0.0125));
        const int k = static_cast<int>(std::lround((47.0 - Y(i)) * 120.0));
        ASSERT_NEAR(Grid::lon(j), X(i), 1e-9);  // every point is a grid node
        ASSERT_NEAR(Grid::lat(k), Y(i), 1e-9);
        worst = std::max(worst, std::abs(interg(Y(i), X(i), 2, kolmo::test::dataDir()) - (vrp()(k, j) + vtp()(k, j))));
    }
    EXPECT_LT(worst, kMm);

    // Lattice points: Ljubljana, Koper, Maribor, Murska Sobota, Kranjska Gora.
    const std::pair<double, double> towns[] = {{46.05, 14.5}, {45.55, 13.75}, {46.55, 15.65}, {46.65, 16.15}, {46.4833333333, 13.8}};
    for (const auto& [fi, la] : towns) {
        SCOPED_TRACE(deg(fi) + " " + deg(la));
        const int k = static_cast<int>(std::lround((47.0 - fi) * 120.0));
        const int j = static_cast<int>(std::lround((la - 13.0) / 0.0125));
        const double expected = vrp()(k, j) + vtp()(k, j);
        EXPECT_NEAR(toolN(fi, la, 2), expected, 3 * kMm);
        EXPECT_NEAR(cliN(fi, la, "svs2000"), expected, 3 * kMm);
        // The two height systems differ by the offset, -5 to -24 cm.
        EXPECT_NEAR(toolN(fi, la, 2) - toolN(fi, la, 1), vtp()(k, j), 3 * kMm);
    }
}
