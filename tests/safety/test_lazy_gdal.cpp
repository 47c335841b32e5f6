// GDAL and its libraries are mapped only by a run that meets a GIS dataset:
// the glibc loader's own trace (LD_DEBUG=libs) lists every library a run
// loads, so a command that pulls GDAL in shows it there.  A dataset still
// works, with the library found by the program's own path; a copy of the
// program without it says what is missing instead of failing to start.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

struct LazyGdal : ::testing::Test {
    fs::path dir = freshFolder("lazy-gdal");
    void TearDown() override { fs::remove_all(dir); }
    RunResult traced(const fs::path& program, const std::vector<std::string>& args)
    {
        RunOptions o;
        o.environment = {"LD_DEBUG=libs"};
        return run(program, args, dir, o);
    }
    static bool loads(const RunResult& r, const std::string& library)
    {
        return r.err.find("calling init: ") != std::string::npos &&
               r.err.find(library) != std::string::npos;
    }
};

TEST_F(LazyGdal, PointWorkNeverMapsGdal)
{
    std::ofstream(dir / "fila.pod") << "T1 46.05 14.5 300\n";
    const RunResult version = traced(cliPath(), {"--version"});
    ASSERT_EQ(version.status, 0) << version.err.substr(0, 2000);
    EXPECT_FALSE(loads(version, "libgdal")) << "--version maps GDAL";
    EXPECT_FALSE(loads(version, "kolmo_gis"));

    const RunResult convert =
        traced(cliPath(), {"convert", "--in", "fila.pod", "--in-type", "ell", "--out", "tm.pod", "--out-type", "plane-xy"});
    EXPECT_LE(convert.status, 3) << convert.err.substr(0, 2000);
    EXPECT_TRUE(fs::exists(dir / "tm.pod"));
    EXPECT_FALSE(loads(convert, "libgdal")) << "convert maps GDAL";

    std::ofstream(dir / "gk.pod") << "A 100000 500000 300\n";
    const RunResult points = traced(cliPath(), {"migrate", "--in", "gk.pod", "--out", "tm2.pod", "-q"});
    EXPECT_LE(points.status, 3) << points.err.substr(0, 2000);
    EXPECT_FALSE(loads(points, "libgdal")) << "a point-file migration maps GDAL";
}

TEST_F(LazyGdal, ADatasetLoadsTheLibraryBesideTheProgram)
{
    const RunResult r = traced(cliPath(), {"migrate", "--in", (examplesDir() / "gis" / "parcele_d48.geojson").string(),
                                           "--out", "parcele.gpkg", "-q"});
    EXPECT_EQ(r.status, 0) << r.err.substr(r.err.size() > 3000 ? r.err.size() - 3000 : 0);
    EXPECT_TRUE(loads(r, "kolmo_gis.so"));
    EXPECT_TRUE(loads(r, "libgdal"));
    EXPECT_TRUE(fs::exists(dir / "parcele.gpkg"));
}

TEST_F(LazyGdal, WithoutTheLibraryADatasetIsRefusedByName)
{
    // A copy of the program alone in a folder: point work goes on, a dataset
    // names the library it needs.
    const fs::path lone = dir / "bin";
    fs::create_directories(lone);
    fs::copy_file(cliPath(), lone / "kolmo-cli");
    fs::create_directory_symlink(fs::path(KOLMO_BINARY_DIR) / "data", lone / "data");
    const RunResult r = run(lone / "kolmo-cli",
                            {"migrate", "--in", (examplesDir() / "gis" / "parcele_d48.geojson").string(), "--out",
                             "parcele.gpkg", "-q"},
                            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kolmo_gis.so"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "parcele.gpkg"));
    EXPECT_EQ(run(lone / "kolmo-cli", {"--version"}, dir).status, 0);
}

} // namespace
