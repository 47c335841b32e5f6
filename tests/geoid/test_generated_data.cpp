// The model files: the ones in the program folder are the reference copies of
// the recipe's result, and a fresh run of the generator on the GeoTIFF sources
// in data/sources reproduces the shipped files to the stated tolerances.
#include "geoid_fixtures.h"

#include "platform/datafile.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kolmo;
using kolmo::test::geoidFixtures;

namespace {

// Tolerances of data/README.md: the GeoTIFF values and the lattice are copied,
// Zgd is a sum of two bilinear interpolations (rounding), the border and the
// plot grid go through the projection and the Clough-Tocher interpolant.
void expectSame(const std::filesystem::path& dir, const std::filesystem::path& refDir)
{
    struct Check {
        const char* file;
        std::vector<std::string> vars;
        double tol;
    };
    const Check checks[] = {
        {"HREF_SVS2010.mat", {"HREF"}, 0.0},
        {"AMG_2000_gd.mat", {"Xgd", "Ygd"}, 0.0},
        {"AMG_2000_gd.mat", {"Zgd"}, 1e-12},
        {"geoid.mat", {"geoid"}, 1e-6},
        {"meja_rs.mat", {"meja"}, 1e-6},
    };
    for (const auto& c : checks) {
        const auto ours = platform::loadDataFile(dir / c.file, c.vars);
        const auto ref = platform::loadDataFile(refDir / c.file, c.vars);
        for (const auto& v : c.vars) {
            SCOPED_TRACE(std::string(c.file) + " " + v);
            ASSERT_EQ(ours.at(v).rows(), ref.at(v).rows());
            ASSERT_EQ(ours.at(v).cols(), ref.at(v).cols());
            EXPECT_LE((ours.at(v) - ref.at(v)).cwiseAbs().maxCoeff(), c.tol);
        }
    }
    // geoid.mat marks the cells outside the hull by 0, the same ones.
    const Mat g = platform::loadDataFile(dir / "geoid.mat").at("geoid");
    const Mat gr = platform::loadDataFile(refDir / "geoid.mat").at("geoid");
    EXPECT_EQ((g.array() == 0).count(), (gr.array() == 0).count());
}

// GeoTIFF's georeferencing tags, for writing a test grid.
char kScale[] = "ModelPixelScale", kTie[] = "ModelTiepoint", kKeys[] = "GeoKeyDirectory";
const TIFFFieldInfo kGeoTags[] = {
    {33550, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kScale},
    {33922, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, kTie},
    {34735, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_SHORT, FIELD_CUSTOM, 1, 1, kKeys},
};
TIFFExtendProc g_parent = nullptr;
void addGeoTags(TIFF* t)
{
    TIFFMergeFieldInfo(t, kGeoTags, 3);
    if (g_parent)
        g_parent(t);
}

// A flat 241 x 321 Float32 grid tied at 13 E, 47 N with the VRP2016 steps;
// rasterType 2 ties a pixel's centre there, 1 its corner.
void writeFlatGrid(const std::filesystem::path& file, int rasterType, float value)
{
    // Once: a second registration would make the extender its own parent.
    static const TIFFExtendProc parent = g_parent = TIFFSetTagExtender(addGeoTags);
    (void)parent;
    TIFF* t = TIFFOpen(file.string().c_str(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 321);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 241);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 241);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    double scale[3] = {0.0125, 1.0 / 120, 0}, tie[6] = {0, 0, 0, 13, 47, 0};
    std::uint16_t keys[8] = {1, 1, 0, 1, 1025, 0, 1, static_cast<std::uint16_t>(rasterType)};
    TIFFSetField(t, 33550, 3, scale);
    TIFFSetField(t, 33922, 6, tie);
    TIFFSetField(t, 34735, 8, keys);
    std::vector<float> row(321, value);
    for (std::uint32_t k = 0; k < 241; ++k)
        TIFFWriteScanline(t, row.data(), k, 0);
    TIFFClose(t);
}

int runGenerator(const std::filesystem::path& vrp, const std::filesystem::path& out)
{
    const auto src = kolmo::test::sourceDir() / "data/sources";
    const std::string cmd = (std::filesystem::path(KOLMO_BINARY_DIR) / "gen_geoid_data").string() + " --vrp " +
                            vrp.string() + " --vtp " + (src / "si_gurs_SLO-VTP2024.tif").string() + " --border " +
                            (src / "slovenia_border_lonlat.csv").string() + " --out " + out.string() +
                            " > /dev/null 2>&1";
    return std::system(cmd.c_str());
}

} // namespace

TEST(GeneratedData, ShippedFilesMatchTheReference)
{
    expectSame(kolmo::test::dataDir(), geoidFixtures());
}

TEST(GeneratedData, GeneratorReproducesTheShippedFilesFromTheGeoTiffSources)
{
    const auto tool = std::filesystem::path(KOLMO_BINARY_DIR) / "gen_geoid_data";
    ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    const auto src = kolmo::test::sourceDir() / "data";
    const auto out = kolmo::test::freshTempDir("gen_geoid");
    const std::string cmd = tool.string() + " --vrp " + (src / "sources/si_gurs_SLO-VRP2016-Koper.tif").string() +
                            " --vtp " + (src / "sources/si_gurs_SLO-VTP2024.tif").string() + " --border " +
                            (src / "sources/slovenia_border_lonlat.csv").string() + " --out " + out.string() +
                            " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    expectSame(out, src);
    std::filesystem::remove_all(out);
}

TEST(GeneratedData, GeneratorPlacesTheGridByItsGeoreferencing)
{
    // A grid whose tie point is a pixel's corner has its centres half a pixel
    // (about 500 m) away from the model's nodes: refused, nothing written.
    // The same grid tied at a centre is taken.
    const auto dir = kolmo::test::freshTempDir("gen_geoid_georef");
    writeFlatGrid(dir / "corner.tif", 1, 46.0f);
    writeFlatGrid(dir / "centre.tif", 2, 46.0f);
    EXPECT_NE(runGenerator(dir / "corner.tif", dir / "a"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "a" / "HREF_SVS2010.mat"));
    ASSERT_EQ(runGenerator(dir / "centre.tif", dir / "b"), 0);
    const Mat href = platform::loadSingleMatrix(dir / "b" / "HREF_SVS2010.mat", 241, 321);
    EXPECT_EQ(href.minCoeff(), 46.0);
    EXPECT_EQ(href.maxCoeff(), 46.0);
    std::filesystem::remove_all(dir);
}
