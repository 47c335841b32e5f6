// kolmo-cli transform --plots: the three plots of a full computation written
// with no display, the formats asked for, and the errors.
#include "plots.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace kolmo::test;

namespace {

struct CliPlots : ::testing::Test {
    std::filesystem::path dir = freshDir("cli_plots");
    std::filesystem::path data = dir / "data";

    void SetUp() override { std::filesystem::copy(dataDir(), data, std::filesystem::copy_options::recursive); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    RunResult transform(const std::string& type, std::vector<std::string> more)
    {
        std::vector<std::string> args{"transform",    "--data-dir", data.string(), "--type", type,
                                      "--start",      type == "3r7" ? "local/d48_gk.pod" : "local/d48_gk_2d.pod",
                                      "--start-type", "gk",         "--end",       type == "3r7" ? "local/d96_tm.pod" : "local/d96_tm_2d.pod",
                                      "--end-type",   "tm",         "--report",    (dir / "r.str").string()};
        args.insert(args.end(), more.begin(), more.end());
        return run(cliPath(), args, examplesDir());
    }
};

} // namespace

TEST_F(CliPlots, WritesEveryPlotInEveryFormat)
{
    const auto out = dir / "slike";
    const auto r = transform("3r7", {"--plots", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* base : {"mreza", "obod_rs", "odstopanja"})
        for (const char* ext : {"png", "tif", "jpg", "eps", "emf", "svg", "pdf"}) {
            const auto f = out / (std::string(base) + "." + ext);
            EXPECT_TRUE(std::filesystem::exists(f)) << f;
            EXPECT_NE(r.out.find("Plot: " + f.string() + "\n"), std::string::npos) << f;
        }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 21);
}

TEST_F(CliPlots, OnlyTheFormatsAskedFor)
{
    const auto out = dir / "slike";
    const auto r = transform("2r4", {"--plots", out.string(), "--plot-formats", "svg,png,svg"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(out))
        files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"mreza.png", "mreza.svg", "obod_rs.png", "obod_rs.svg", "odstopanja.png",
                                            "odstopanja.svg"}));
}

TEST_F(CliPlots, UsageErrors)
{
    const auto out = (dir / "slike").string();
    EXPECT_EQ(transform("3r7", {"--plots", out, "--mode", "params"}).status, 2);
    EXPECT_EQ(transform("3r7", {"--plot-formats", "png"}).status, 2) << "--plot-formats without --plots";
    EXPECT_EQ(transform("3r7", {"--plots", out, "--plot-formats", "png,gif"}).status, 2);
    auto r = run(cliPath(), {"transform", "--data-dir", data.string(), "--type", "fila-tm", "--start",
                             "local/d96_fila.pod", "--report", (dir / "k.str").string(), "--plots", out},
                 examplesDir());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--plots"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(dir / "r.str")) << "nothing computed after a usage error";
    r = run(cliPath(), {"transform", "--help"});
    EXPECT_NE(r.out.find("--plots"), std::string::npos);
    EXPECT_NE(r.out.find("--plot-formats"), std::string::npos);
}

TEST_F(CliPlots, FailuresExitOneWithTheReason)
{
    // The folder is a file.
    const auto blocked = dir / "blocked";
    { std::ofstream(blocked) << "x"; }
    auto r = transform("3r7", {"--plots", blocked.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Napaka pri izvozu"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(blocked.string()), std::string::npos) << r.err;

    // No border file: the plots cannot be drawn, as in the main window.
    std::filesystem::remove(data / "meja_rs.mat");
    r = transform("3r7", {"--plots", (dir / "slike").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("Premalo podatkov za prikaz: Ne morem prikazati mreze tock!\n", 0), 0u) << r.err;
    // A run replaces all of its files or none: no report without its plots.
    EXPECT_FALSE(std::filesystem::exists(dir / "r.str")) << "a report of a failed run";
}
