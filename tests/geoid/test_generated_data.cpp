// The model files: the ones in the program folder are the reference copies of
// the recipe's result, and a fresh run of the generator on the GeoTIFF sources
// in data/sources reproduces the shipped files to the stated tolerances.
#include "geoid_fixtures.h"

#include "platform/datafile.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
