// No output overwrites an input: a report or result file that is the same file
// as one of the run's inputs (same device and inode, links followed) is
// refused before anything is computed, and the input stays as it was.
//
// Fault pinned down: "--report" naming the start file replaced the surveyor's
// points by the report of their own transformation.
#include "app/izracun.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct OutputIsInput : ::testing::Test {
    fs::path dir = freshFolder("output_is_input");
    void SetUp() override
    {
        fs::copy_file(examplesDir() / "local" / "d48_gk.pod", dir / "start.pod");
        fs::copy_file(examplesDir() / "local" / "d96_tm.pod", dir / "end.pod");
        fs::copy_file(examplesDir() / "projekt_3r.in", dir / "projekt.in");
        fs::create_directories(dir / "data");
        fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
        fs::create_symlink("start.pod", dir / "link.str");
        fs::create_hard_link(dir / "end.pod", dir / "hard.str");
    }
    void TearDown() override { fs::remove_all(dir); }

    RunResult transform(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"transform", "--data-dir", (dir / "data").string()});
        return run(cliPath(), args, dir);
    }
};

const std::string kBox = "Napaka: Izhodna datoteka je enaka vhodni!\n";

} // namespace

TEST_F(OutputIsInput, ComputationRefusesAReportThatIsAnInput)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    AppState s;
    s.pot_prg = dir / "data";
    s.vhi = prebsi(dir / "start.pod");
    s.vhv = prebsi(dir / "end.pod");
    MainInputs in;
    in.tip1 = 3;
    in.tip2 = 2;
    in.tip3 = 2;
    in.workDir = dir;
    in.inputs = {dir / "start.pod", dir / "end.pod"};
    const std::string start = readText(dir / "start.pod"), end = readText(dir / "end.pod");

    for (const std::string name : {"link.str", "hard.str", "start.pod"}) {
        in.izhod = name;
        EXPECT_FALSE(izracun(s, in).ok) << name;
        ASSERT_FALSE(rec.boxes.empty());
        EXPECT_EQ(rec.boxes.back(), (platform::Box{platform::Box::Error, "Izhodna datoteka je enaka vhodni!", "Napaka"}));
        EXPECT_NE(rec.boxes.back().details.find((dir / name).string()), std::string::npos) << rec.boxes.back().details;
        EXPECT_FALSE(s.rez.has_value()) << "refused before computing";
    }
    EXPECT_EQ(readText(dir / "start.pod"), start);
    EXPECT_EQ(readText(dir / "end.pod"), end);

    in.izhod = "r.str";
    EXPECT_TRUE(izracun(s, in).ok) << rec.boxes.back().text;
}

TEST_F(OutputIsInput, CommandLineRefusesEveryInputAsOutput)
{
    const std::string start = readText(dir / "start.pod"), end = readText(dir / "end.pod");
    const std::vector<std::string> files{"--start", "start.pod", "--start-type", "gk", "--end", "end.pod",
                                         "--end-type", "tm", "--out-type", "tm"};
    for (const std::string report : {"start.pod", "link.str", "end.pod", "hard.str", "./start.pod"}) {
        auto args = files;
        args.insert(args.end(), {"--report", report});
        const auto r = transform(args);
        EXPECT_EQ(r.status, 1) << report;
        EXPECT_EQ(boxLines(r.err), kBox) << report;
        EXPECT_TRUE(r.out.empty()) << "nothing computed for " << report;
    }
    EXPECT_EQ(readText(dir / "start.pod"), start);
    EXPECT_EQ(readText(dir / "end.pod"), end);

    const std::string project = readText(dir / "projekt.in");
    auto r = transform({"--varnik", "projekt.in", "--report", "projekt.in"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), kBox);
    EXPECT_EQ(readText(dir / "projekt.in"), project);

    // The parameter database the parameters go to.
    const std::string database = readText(dir / "data" / "t7.par");
    auto args = files;
    args.insert(args.end(), {"--save-params", "Nova", "--report", "data/t7.par"});
    r = transform(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), kBox);
    EXPECT_EQ(readText(dir / "data" / "t7.par"), database);

    // The conversion tool's input file.
    r = run(cliPath(), {"convert", "--in", "start.pod", "--in-type", "plane", "--ellipsoid", "bessel", "--out-type",
                        "ell", "--out", "link.str"},
            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), kBox);
    EXPECT_EQ(detailLines(r.err), "link.str is the input start.pod\n");
    EXPECT_EQ(readText(dir / "start.pod"), start);
}
