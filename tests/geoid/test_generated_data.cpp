// The shipped model files reproduce the reference copies of the recipe: the
// ones in data/ (copied into the build's program folder) and, when PROJ's
// EGM96 grid is installed, a fresh run of the generator.
#include "geoid_fixtures.h"

#include "platform/datafile.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kolmo;
using kolmo::test::geoidFixtures;

namespace {

void expectSameAsReference(const std::filesystem::path& dir)
{
    struct Check {
        const char* file;
        std::vector<std::string> vars;
        double tol;
    };
    const Check checks[] = {
        {"HREF_SVS2010.mat", {"HREF"}, 1e-12},
        {"AMG_2000_gd.mat", {"Xgd", "Ygd"}, 0.0},
        {"AMG_2000_gd.mat", {"Zgd"}, 1e-12},
        {"geoid.mat", {"geoid"}, 1e-6},
        {"meja_rs.mat", {"meja"}, 1e-6},
    };
    for (const auto& c : checks) {
        const auto ours = platform::loadDataFile(dir / c.file, c.vars);
        const auto ref = platform::loadDataFile(geoidFixtures() / c.file, c.vars);
        for (const auto& v : c.vars) {
            SCOPED_TRACE(std::string(c.file) + " " + v);
            ASSERT_EQ(ours.at(v).rows(), ref.at(v).rows());
            ASSERT_EQ(ours.at(v).cols(), ref.at(v).cols());
            EXPECT_LE((ours.at(v) - ref.at(v)).cwiseAbs().maxCoeff(), c.tol);
        }
    }
    // geoid.mat marks the cells outside the hull by 0, the same ones.
    const Mat g = platform::loadDataFile(dir / "geoid.mat").at("geoid");
    const Mat gr = platform::loadDataFile(geoidFixtures() / "geoid.mat").at("geoid");
    EXPECT_EQ((g.array() == 0).count(), (gr.array() == 0).count());
}

} // namespace

TEST(GeneratedData, ShippedFilesMatchTheReference)
{
    expectSameAsReference(kolmo::test::dataDir());
}

TEST(GeneratedData, GeneratorReproducesTheReference)
{
    const std::filesystem::path gtx = "/usr/share/proj/egm96_15.gtx";
    const auto tool = std::filesystem::path(KOLMO_BINARY_DIR) / "gen_geoid_data";
    if (!std::filesystem::exists(gtx) || !std::filesystem::exists(tool))
        GTEST_SKIP() << "needs " << gtx << " and the built gen_geoid_data";
    const auto out = kolmo::test::freshTempDir("gen_geoid");
    const std::string cmd = tool.string() + " --gtx " + gtx.string() + " --border " +
                            (kolmo::test::sourceDir() / "data/sources/slovenia_border_lonlat.csv").string() +
                            " --out " + out.string() + " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    expectSameAsReference(out);
    std::filesystem::remove_all(out);
}
